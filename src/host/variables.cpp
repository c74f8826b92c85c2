#include "host/variables.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qv::host {
namespace {

// The bytes of a variable key, "%name%" and its terminator. A name longer
// than the key buffer allows has no key.
std::size_t KeySize(std::string_view name)
{
    return name.size() + 3 <= kVariableKeySize ? name.size() + 3 : 0;
}

// Whether `slot` holds the key of `name`, terminator included. The slot has
// at least KeySize(name) bytes. Names mostly differ in their last
// characters, or have them at another place: those go first.
bool SlotHoldsKey(const char *slot, std::string_view name)
{
    const std::size_t n = name.size();
    return slot[n + 1] == '%' && slot[n + 2] == '\0' && slot[0] == '%' &&
           std::memcmp(slot + 1, name.data(), n) == 0;
}

// Entries the library may look at. A table without slot arrays has none,
// and a count above the capacity is not trusted beyond the capacity.
uint32_t UsableEntries(const HostParamBlock &block)
{
    if (block.NameSlots == nullptr || block.ValueSlots == nullptr)
        return 0;
    return std::min(block.VariableCount, block.VariableCapacity);
}

char *NameSlot(const HostParamBlock &block, uint32_t index)
{
    return block.NameSlots + std::size_t{index} * block.NameWidth;
}

char *ValueSlot(const HostParamBlock &block, uint32_t index)
{
    return block.ValueSlots + std::size_t{index} * block.ValueWidth;
}

// Index of the first entry whose name slot holds the key of `name`, or
// `entries` when there is none. A slot narrower than the key cannot hold
// it, so its bytes past the slot are never read.
uint32_t FindEntry(const HostParamBlock &block, uint32_t entries, std::string_view name)
{
    if (KeySize(name) > block.NameWidth)
        return entries;
    for (uint32_t i = 0; i < entries; i++)
        if (SlotHoldsKey(NameSlot(block, i), name))
            return i;
    return entries;
}

// Copies `text` into a slot of `width` bytes, cut to width - 1 bytes.
void StoreInSlot(char *slot, uint32_t width, std::string_view text)
{
    if (width == 0)
        return;
    const std::size_t length = std::min<std::size_t>(text.size(), width - 1);
    std::copy_n(text.data(), length, slot); // an empty view may have no data at all
    slot[length] = '\0';
}

} // namespace

std::string_view GetVariable(const HostParamBlock &block, std::string_view name,
                             std::span<char> out)
{
    if (out.empty())
        return {};
    out[0] = '\0';
    if (KeySize(name) == 0)
        return {out.data(), 0};
    const uint32_t entries = UsableEntries(block);
    const uint32_t index = FindEntry(block, entries, name);
    if (index == entries)
        return {out.data(), 0};
    // The value ends at its terminator or at the end of its slot.
    const char *value = ValueSlot(block, index);
    const void *end = std::memchr(value, '\0', block.ValueWidth);
    std::size_t length = end ? static_cast<const char *>(end) - value : block.ValueWidth;
    length = std::min(length, out.size() - 1);
    std::memcpy(out.data(), value, length);
    out[length] = '\0';
    return {out.data(), length};
}

void SetVariable(HostParamBlock &block, std::string_view name, std::string_view value)
{
    const std::size_t key_size = KeySize(name);
    if (key_size == 0)
        return;
    if (block.NameSlots == nullptr || block.ValueSlots == nullptr)
        return; // no entries and no room
    const uint32_t entries = UsableEntries(block);
    const uint32_t index = FindEntry(block, entries, name);
    if (index < entries) {
        StoreInSlot(ValueSlot(block, index), block.ValueWidth, value);
        return;
    }
    if (entries != block.VariableCount || entries >= block.VariableCapacity)
        return; // full, or not a table we can append to
    if (key_size > block.NameWidth || block.ValueWidth == 0)
        return; // a cut key would name another variable
    // Name first, then the count, then the value.
    char *slot = NameSlot(block, index);
    slot[0] = '%';
    std::memcpy(slot + 1, name.data(), name.size());
    slot[name.size() + 1] = '%';
    slot[name.size() + 2] = '\0';
    block.VariableCount = index + 1;
    StoreInSlot(ValueSlot(block, index), block.ValueWidth, value);
}

} // namespace qv::host
