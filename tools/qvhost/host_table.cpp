#include "host_table.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qvhost {
namespace {

constexpr uint64_t kMaxTableBytes = 256u * 1024u * 1024u;

char *NameSlot(const HostParamBlock &block, uint32_t i)
{
    return block.NameSlots + size_t{i} * block.NameWidth;
}

char *ValueSlot(const HostParamBlock &block, uint32_t i)
{
    return block.ValueSlots + size_t{i} * block.ValueWidth;
}

// The string in a slot, never past the slot.
std::string_view SlotText(const char *slot, uint32_t width)
{
    const auto *end = static_cast<const char *>(memchr(slot, '\0', width));
    return {slot, end ? static_cast<size_t>(end - slot) : width};
}

std::string_view KeyName(std::string_view key)
{
    if (key.starts_with('%'))
        key.remove_prefix(1);
    if (key.ends_with('%'))
        key.remove_suffix(1);
    return key;
}

} // namespace

Result<ModuleHandle> LoadModule(const Options &o)
{
    std::string path;
    if (o.dll) {
        path = *o.dll;
    } else {
        char beside[4096];
        if (!DefaultModulePath(beside, sizeof beside))
            return UsageError("cannot tell where the module is; use --dll");
        path = beside;
    }
    ModuleHandle module(OpenModule(path.c_str()), CloseModule);
    if (module == nullptr)
        return UsageError("cannot load the module", path);
    return module;
}

Result<QvSetupExport> ResolveExport(LoadedModule *module, const std::string &text)
{
    unsigned ordinal = 0;
    if (text.starts_with('#')) {
        std::optional<uint32_t> number = ParseNumber(std::string_view(text).substr(1));
        if (!number || *number == 0 || *number > 65535)
            return UsageError("not an ordinal", text);
        ordinal = *number;
    }
    QvSetupExport function = FindModuleExport(module, text.c_str(), ordinal);
    if (function == nullptr)
        return UsageError("the module has no such export", text);
    return function;
}

Result<Table> AllocateTable(const Options &o)
{
    uint64_t names = uint64_t{o.capacity} * o.name_width;
    uint64_t values = uint64_t{o.capacity} * o.value_width;
    if (names > kMaxTableBytes || values > kMaxTableBytes)
        return UsageError("variable table too large");
    // One byte more, so that an empty table still has an address.
    Table table;
    try {
        table.names.assign(static_cast<size_t>(names) + 1, '\0');
        table.values.assign(static_cast<size_t>(values) + 1, '\0');
    } catch (const std::bad_alloc &) {
        return Error{"out of memory for the variable table", false};
    }
    return table;
}

HostParamBlock BlockFor(Table &table, const Options &o)
{
    HostParamBlock block{};
    block.NameSlots = table.names.data();
    block.ValueSlots = table.values.data();
    block.VariableCapacity = o.capacity;
    block.NameWidth = o.name_width;
    block.ValueWidth = o.value_width;
    block.ParameterText = o.parameter_text ? o.parameter_text->c_str() : nullptr;
    return block;
}

std::optional<Error> StoreVariable(HostParamBlock &block, std::string_view assignment)
{
    size_t equals = assignment.find('=');
    std::string key = "%";
    key.append(assignment.substr(0, equals)).append("%");
    std::string_view value = assignment.substr(equals + 1);
    if (key.size() + 1 > block.NameWidth)
        return UsageError("--set name does not fit the name width", assignment);
    if (value.size() + 1 > block.ValueWidth)
        return UsageError("--set value does not fit the value width", assignment);
    uint32_t i = 0;
    while (i < block.VariableCount && SlotText(NameSlot(block, i), block.NameWidth) != key)
        i++;
    if (i == block.VariableCount) {
        if (i >= block.VariableCapacity)
            return UsageError("--set: the variable table is full", assignment);
        memcpy(NameSlot(block, i), key.c_str(), key.size() + 1);
        block.VariableCount++;
    }
    char *slot = ValueSlot(block, i);
    memcpy(slot, value.data(), value.size());
    slot[value.size()] = '\0';
    return std::nullopt;
}

std::vector<Variable> Variables(const HostParamBlock &block)
{
    std::vector<Variable> variables;
    uint32_t entries = std::min(block.VariableCount, block.VariableCapacity);
    for (uint32_t i = 0; i < entries; i++)
        variables.push_back({KeyName(SlotText(NameSlot(block, i), block.NameWidth)),
                             SlotText(ValueSlot(block, i), block.ValueWidth)});
    return variables;
}

std::string AskFileVersion(QvSetupExport function, const std::string &parameters)
{
    Options shape;
    shape.capacity = 1;
    shape.value_width = 65536;
    shape.parameter_text = parameters;
    Table table{std::vector<char>(shape.name_width), std::vector<char>(shape.value_width)};
    HostParamBlock block = BlockFor(table, shape);
    function(&block);
    for (const Variable &v : Variables(block))
        if (v.name == "FileVersion")
            return std::string(v.value);
    return {};
}

} // namespace qvhost
