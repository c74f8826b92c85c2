// Reading one field of a file's version resource through the version
// operations (fileinfo/version_api.h).
#ifndef QV_FILEINFO_VERSION_FIELD_H
#define QV_FILEINFO_VERSION_FIELD_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "fileinfo/version_api.h"
#include "memory/heap.h"
#include "reader/refusal.h"

namespace qv::fileinfo {

// Where an answer came from: a string table, or one of the fixed record's
// two version numbers.
enum class Source : uint8_t { none, table, file_version_record, product_version_record };

// A rule's answer: its text (empty: none, and `refusal` says why), and where
// it came from (for a table, its translation). The wide form (paths in
// UTF-8, fileinfo/version_api.h) answers in `wide` instead of `text`.
struct FieldAnswer {
    memory::HeapPtr<char> text;
    memory::HeapPtr<char16_t[]> wide;
    reader::Refusal refusal = reader::Refusal::none;
    Source source = Source::none;
    uint32_t translation = 0;
};

// The text of `field` (one of kVersionFields, fileinfo/version_fields.h,
// in any ASCII case) from the "040904E4" string table of the file at `path`;
// for "FileVersion", the fixed record's product version when that string
// is missing or its length is 0 (a string holding only its terminator is
// there, and gives ""). A terminated heap string, or empty.
FieldAnswer AnswerVersionField(std::string_view path, std::string_view field);
// The same in the wide form: `path` in UTF-8, the answer in `wide`.
FieldAnswer AnswerVersionFieldWide(std::string_view path, std::string_view field);

inline memory::HeapPtr<char> QueryVersionField(std::string_view path, std::string_view field)
{
    return AnswerVersionField(path, field).text;
}

// The text of `field` as the file's own string tables give it: one of
// the twelve kStringFields, from the first table that has it not empty, the
// tables tried in the order of the file's translation list and then
// "040904B0", "040904E4" and "04090000"; or "FileVersionNumber" and
// "ProductVersionNumber", "a.b.c.d" from the fixed record. "FileVersion"
// falls back to FileVersionNumber. A terminated heap string, or empty.
FieldAnswer AnswerVersionFieldEx(std::string_view path, std::string_view field);
FieldAnswer AnswerVersionFieldExWide(std::string_view path, std::string_view field);

inline memory::HeapPtr<char> QueryVersionFieldEx(std::string_view path, std::string_view field)
{
    return AnswerVersionFieldEx(path, field).text;
}

struct CheckedBlock;

// The same from a block already read in the 8-bit form (ReadCheckedBlock's
// default, fileinfo/checked_block.h), so that one read of a file answers
// every field. Queries on a block may write into it, as the system's do:
// each answer is that of the field asked on the block after the fields
// asked before it.
FieldAnswer AnswerBlockFieldEx(const CheckedBlock &block, std::string_view field);

// U.S. English in code page 1252: the one string table GetFileVersion
// reads.
inline constexpr uint32_t kEnglish1252 = 0x040904E4;

// The string tables GetFileVersionEx tries after those the file lists: U.S.
// English in Unicode, in code page 1252, and without a code page.
inline constexpr std::array<uint32_t, 3> kDefaultTranslations = {0x040904B0, kEnglish1252,
                                                                 0x04090000};

// GetFileVersionEx's order of tables: step i of TableSteps(listed.size())
// asks the table TableAtStep gives, none for a translation listed before,
// which is not asked again.
constexpr std::size_t TableSteps(std::size_t listed)
{
    return listed + kDefaultTranslations.size();
}
inline std::optional<uint32_t> TableAtStep(std::span<const uint32_t> listed, std::size_t step)
{
    const uint32_t translation =
        step < listed.size() ? listed[step] : kDefaultTranslations[step - listed.size()];
    const auto before = listed.first(std::min(step, listed.size()));
    if (std::find(before.begin(), before.end(), translation) != before.end())
        return std::nullopt;
    return translation;
}

// "\\StringFileInfo\\LLLLCCCC\\FIELD", terminated, in `path`.
using StringPathBuffer = std::array<char, 64>;
void StringPath(uint32_t translation, std::string_view field, StringPathBuffer &path);

} // namespace qv::fileinfo

#endif
