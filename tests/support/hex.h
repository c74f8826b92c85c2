// Bytes as text a report can carry: two lowercase hex digits a byte.
#ifndef QV_TESTS_HEX_H
#define QV_TESTS_HEX_H

#include <string>
#include <string_view>

// `before_each` goes before every byte: "" gives "0a1b", " " gives " 0a 1b".
inline std::string Hex(std::string_view bytes, std::string_view before_each = "")
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : bytes) {
        out.append(before_each);
        out.append({kDigits[b >> 4], kDigits[b & 15]});
    }
    return out;
}

#endif
