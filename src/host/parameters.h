// The comma-separated, trimmed items of the parameter text.
#ifndef QV_HOST_PARAMETERS_H
#define QV_HOST_PARAMETERS_H

#include <cstdint>
#include <string_view>

#include "qvsetup.h"
#include "text/text.h"

namespace qv::host {

// Items are numbered from 1 and at most 63 count: item 63 ends at the 63rd
// comma and the rest of the text is dropped, so a count stops at 64.
inline constexpr uint32_t kParameterSlots = 64;

// The parameter text and the number of items it holds plus one (the first
// free slot): 2 for one item, 3 for two; 0 when there is no text. The text
// is the caller's and is never modified; items are views into it, read with
// ParameterItem, so the list needs no copy, no allocation and no release.
struct ParameterList {
    std::string_view text;
    uint32_t count = 0;
};

// True when the list holds at least `items` items (count is items + 1).
constexpr bool HasItems(const ParameterList &list, uint32_t items)
{
    return list.count > items;
}

// `s` without ASCII white space at either end.
constexpr std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && text::IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && text::IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The list for block->ParameterText; a null block or a null text give
// count 0. Defined here, with ParameterItem, so that a caller keeps the
// list in registers: returned through memory it costs a store-forwarding
// stall per call (docs/benchmarks.md).
constexpr ParameterList SplitParameter(const HostParamBlock *block)
{
    if (block == nullptr || block->ParameterText == nullptr)
        return {};
    const std::string_view text = block->ParameterText;
    uint32_t count = 2;
    for (std::size_t comma = text.find(',');
         comma != std::string_view::npos && count < kParameterSlots;
         comma = text.find(',', comma + 1))
        count++;
    return {text, count};
}

// Item `index` (1 to count - 1): the text between the comma before it and
// the comma after it, without blanks at either end. "" for any other index.
constexpr std::string_view ParameterItem(const ParameterList &list, uint32_t index)
{
    if (index == 0 || index >= list.count)
        return {};
    std::string_view rest = list.text;
    for (uint32_t i = 1; i < index; i++)
        rest.remove_prefix(rest.find(',') + 1);
    // The last item runs to the end of the text, unless the text goes on
    // past the last item that counts.
    const bool last = index + 1 == list.count && list.count < kParameterSlots;
    const std::size_t comma = last ? std::string_view::npos : rest.find(',');
    return TrimBlanks({rest.data(), comma == std::string_view::npos ? rest.size() : comma});
}

} // namespace qv::host

#endif
