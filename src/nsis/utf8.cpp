#include "nsis/utf8.h"

#include <cstdint>

namespace qv::nsis {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Writes `code_point` at `out` (when not null); returns its byte count.
std::size_t PutUtf8(char32_t code_point, char *out)
{
    const std::size_t count = code_point < 0x80      ? 1
                              : code_point < 0x800   ? 2
                              : code_point < 0x10000 ? 3
                                                     : 4;
    if (out == nullptr)
        return count;
    if (count == 1) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    constexpr uint8_t kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (std::size_t i = count - 1; i > 0; i--, code_point >>= 6)
        out[i] = static_cast<char>(0x80 | (code_point & 0x3F));
    out[0] = static_cast<char>(kLead[count] | code_point);
    return count;
}

// The code point at units[i], and how many units it takes.
char32_t CodePointAt(std::wstring_view units, std::size_t i, std::size_t &taken)
{
    const char32_t unit = static_cast<uint16_t>(units[i]);
    taken = 1;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size()) {
        const char32_t next = static_cast<uint16_t>(units[i + 1]);
        if (next >= 0xDC00 && next < 0xE000) {
            taken = 2;
            return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
        }
    }
    return unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit;
}

// The UTF-8 length of `units` (when `out` is null), or writes them there.
std::size_t Convert(std::wstring_view units, char *out)
{
    std::size_t used = 0;
    for (std::size_t i = 0, taken = 0; i < units.size(); i += taken)
        used += PutUtf8(CodePointAt(units, i, taken), out == nullptr ? nullptr : out + used);
    return used;
}

} // namespace

memory::HeapPtr<char> Utf8FromUtf16(std::wstring_view units)
{
    const std::size_t length = Convert(units, nullptr);
    auto text = memory::AllocateArray<char>(length + 1);
    if (!text)
        return {};
    Convert(units, text.get());
    text[length] = '\0';
    return memory::HeapPtr<char>(text.release());
}

} // namespace qv::nsis
