#include "c_interface.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "host/parameters.h"
#include "host/variables.h"
#include "text/text.h"

static_assert(PARAMETER_SLOTS == qv::host::kParameterSlots);

ParameterCopy *CopyParameters(const HostParamBlock *block, uint32_t *count)
{
    *count = 0;
    const qv::host::ParameterList list = qv::host::SplitParameter(block);
    if (list.count == 0)
        return nullptr;
    // The items are disjoint pieces of the text with a comma or its end
    // after each, so they and their terminators fit in its length plus one.
    const std::size_t text_size = list.text.size() + 1;
    void *memory = std::malloc(sizeof(ParameterCopy) + text_size);
    if (memory == nullptr)
        return nullptr;
    auto *copy = static_cast<ParameterCopy *>(memory);
    char *out = reinterpret_cast<char *>(copy + 1);
    std::memset(copy->item, 0, sizeof copy->item);
    for (uint32_t i = 1; i < list.count; i++) {
        const std::string_view item = qv::host::ParameterItem(list, i);
        std::memcpy(out, item.data(), item.size());
        out[item.size()] = '\0';
        copy->item[i] = out;
        out += item.size() + 1;
    }
    *count = list.count;
    return copy;
}

void FreeParameterCopy(ParameterCopy *copy)
{
    std::free(copy);
}

void SetVariableText(HostParamBlock *block, const char *name, const char *value)
{
    if (block != nullptr)
        qv::host::SetVariable(*block, name, value);
}

int FormatDecimalText(int32_t value, char *out)
{
    std::array<char, qv::text::kDecimalSize> buffer;
    const std::string_view text = qv::text::FormatDecimal(value, buffer);
    std::memcpy(out, text.data(), text.size() + 1);
    return static_cast<int>(text.size());
}
