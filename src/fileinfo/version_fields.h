// The names of the version fields GetFileVersion and GetFileVersionEx
// answer: the one list that the rules (version_field.cpp), qvhost and the
// test tools read.
#ifndef QV_FILEINFO_VERSION_FIELDS_H
#define QV_FILEINFO_VERSION_FIELDS_H

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace qv::fileinfo {

// The fields of a file's string tables; the first is the default field.
// GetFileVersionEx answers all twelve.
inline constexpr std::array<std::string_view, 12> kStringFields = {
    "FileVersion",    "CompanyName",      "FileDescription", "InternalName",
    "LegalCopyright", "OriginalFilename", "ProductName",     "ProductVersion",
    "Comments",       "LegalTrademarks",  "PrivateBuild",    "SpecialBuild",
};

// GetFileVersion's fields: the first eight.
inline constexpr std::span<const std::string_view> kVersionFields =
    std::span(kStringFields).first(8);

// The fixed record's two numbers, "a.b.c.d": GetFileVersionEx only.
inline constexpr std::string_view kFileVersionNumber = "FileVersionNumber";
inline constexpr std::string_view kProductVersionNumber = "ProductVersionNumber";

// Every field GetFileVersionEx answers: the strings, then the two numbers.
inline constexpr std::array<std::string_view, kStringFields.size() + 2> kExFields = [] {
    std::array<std::string_view, kStringFields.size() + 2> fields;
    for (std::size_t i = 0; i < kStringFields.size(); i++)
        fields[i] = kStringFields[i];
    fields[kStringFields.size()] = kFileVersionNumber;
    fields[kStringFields.size() + 1] = kProductVersionNumber;
    return fields;
}();

} // namespace qv::fileinfo

#endif
