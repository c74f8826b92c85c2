// The comma-separated, trimmed items of the parameter text.
#ifndef QV_HOST_PARAMETERS_H
#define QV_HOST_PARAMETERS_H

#include <cstdint>
#include <string_view>

#include "qvsetup.h"
#include "text/text.h"

namespace qv::host {

// At most this many items count (item 63 ends at the 63rd comma; the rest
// of the text is dropped), in slots 1 to 63 as a host numbers them.
inline constexpr uint32_t kParameterSlots = 64;

// The parameter text and the number of items it holds plus one (the first
// free slot): 2 for one item, 3 for two; 0 when there is no text. The text
// is the caller's and is never modified; items are views into it, read with
// ParameterItem, so the list needs no copy, no allocation and no release.
struct ParameterList {
    std::string_view text;
    uint32_t count = 0;
};

// The list for block->ParameterText; a null block or a null text give
// count 0.
ParameterList SplitParameter(const HostParamBlock *block);

// Item `index` (1 to count - 1): the text between the comma before it and
// the comma after it, without blanks at either end. "" for any other index.
std::string_view ParameterItem(const ParameterList &list, uint32_t index);

// `s` without ASCII white space at either end.
constexpr std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && text::IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && text::IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace qv::host

#endif
