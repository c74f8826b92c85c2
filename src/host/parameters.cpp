#include "parameters.h"

namespace qv::host {

ParameterList SplitParameter(const HostParamBlock *block)
{
    if (block == nullptr || block->ParameterText == nullptr)
        return {};
    ParameterList list{block->ParameterText, 2};
    for (std::size_t comma = list.text.find(',');
         comma != std::string_view::npos && list.count < kParameterSlots;
         comma = list.text.find(',', comma + 1))
        list.count++;
    return list;
}

std::string_view ParameterItem(const ParameterList &list, uint32_t index)
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
