// The rules of GetFileVersion and GetFileVersionEx: which sub-blocks each
// asks of a file's checked version block (checked_block.h), in what order,
// and what it answers from them.
#include "fileinfo/version_field.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "fileinfo/checked_block.h"
#include "reader/version_block.h"
#include "text/text.h"

namespace qv::fileinfo {
namespace {

// A field a script may ask for, and the sub-block queried for it: only the
// U.S. English / code page 1252 string table.
struct VersionField {
    std::string_view name;
    const char *sub_block;
};

// Tried in this order; the first is the default field.
constexpr std::array<VersionField, 8> kVersionFields = {{
    {"FileVersion", "\\StringFileInfo\\040904E4\\FileVersion"},
    {"CompanyName", "\\StringFileInfo\\040904E4\\CompanyName"},
    {"FileDescription", "\\StringFileInfo\\040904E4\\FileDescription"},
    {"InternalName", "\\StringFileInfo\\040904E4\\InternalName"},
    {"LegalCopyright", "\\StringFileInfo\\040904E4\\LegalCopyright"},
    {"OriginalFilename", "\\StringFileInfo\\040904E4\\OriginalFilename"},
    {"ProductName", "\\StringFileInfo\\040904E4\\ProductName"},
    {"ProductVersion", "\\StringFileInfo\\040904E4\\ProductVersion"},
}};

constexpr bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (text::FoldAscii(a[i]) != text::FoldAscii(b[i]))
            return false;
    return true;
}

const VersionField *FindField(std::string_view name)
{
    for (const VersionField &field : kVersionFields)
        if (EqualIgnoringCase(name, field.name))
            return &field;
    return nullptr;
}

// The fields of the file's own string tables, the default first, and the
// two numbers of the fixed record.
constexpr std::array<std::string_view, 12> kStringFields = {
    "FileVersion",    "CompanyName",      "FileDescription", "InternalName",
    "LegalCopyright", "OriginalFilename", "ProductName",     "ProductVersion",
    "Comments",       "LegalTrademarks",  "PrivateBuild",    "SpecialBuild",
};

// What one table gives: its string, not empty; nothing (try the next); or
// a value not inside the block (or no memory), which ends the search with
// no answer.
enum class TableAnswer { found, absent, unsound };

TableAnswer QueryTable(const VersionBlock &block, uint32_t translation, std::string_view field,
                       std::string_view &text)
{
    StringPathBuffer path;
    StringPath(translation, field, path);
    const StringValue value = QueryString(block, path.data());
    if (value.found == Found::outside)
        return TableAnswer::unsound;
    text = value.text;
    return text.empty() ? TableAnswer::absent : TableAnswer::found;
}

// The string of `field` from the first table that has it, and that table.
TableAnswer QueryTables(const VersionBlock &block, std::string_view field, std::string_view &text,
                        uint32_t &table)
{
    const auto list = ReadTranslations(block);
    if (!list)
        return TableAnswer::unsound;
    const std::span<const uint32_t> listed(list->entries.get(), list->count);
    for (std::size_t i = 0; i < TableSteps(listed.size()); i++) {
        const auto translation = TableAtStep(listed, i);
        if (!translation)
            continue;
        table = *translation;
        const TableAnswer answer = QueryTable(block, table, field, text);
        if (answer != TableAnswer::absent)
            return answer;
    }
    return TableAnswer::absent;
}

// The text of the fixed record's two words, from where it came.
FieldAnswer FixedAnswer(const VersionBlock &block, bool product)
{
    FieldAnswer answer;
    answer.source = product ? Source::product_version_record : Source::file_version_record;
    answer.text = product ? FixedVersionText(block, reader::kProductVersionMSOffset,
                                             reader::kProductVersionLSOffset)
                          : FixedVersionText(block, reader::kFileVersionMSOffset,
                                             reader::kFileVersionLSOffset);
    if (!answer.text)
        answer.refusal = reader::Refusal::no_fixed_record;
    return answer;
}

} // namespace

FieldAnswer AnswerVersionField(std::string_view path, std::string_view field_name)
{
    FieldAnswer answer;
    const VersionField *field = FindField(field_name);
    answer.refusal = reader::Refusal::unknown_field;
    if (field == nullptr)
        return answer;
    const auto block = ReadVersionBlock(path, answer.refusal);
    if (!block)
        return answer;
    // A string found, but not inside the block, gives nothing: not the
    // fallback either.
    const StringValue value = QueryString(*block, field->sub_block);
    answer.refusal = value.refusal;
    if (value.found == Found::inside) {
        answer.text = memory::CopyText(value.text);
        answer.source = Source::table;
        answer.translation = kFieldTable;
        return answer;
    }
    if (value.found == Found::outside)
        return answer;
    answer.refusal = reader::Refusal::not_in_table;
    if (field != &kVersionFields[0])
        return answer;
    return FixedAnswer(*block, true);
}

FieldAnswer AnswerVersionFieldEx(std::string_view path, std::string_view field_name)
{
    FieldAnswer answer;
    const auto *field =
        std::find_if(kStringFields.begin(), kStringFields.end(),
                     [&](std::string_view f) { return EqualIgnoringCase(f, field_name); });
    const bool file_number = EqualIgnoringCase(field_name, kFileVersionNumber);
    const bool product_number = EqualIgnoringCase(field_name, kProductVersionNumber);
    answer.refusal = reader::Refusal::unknown_field;
    if (field == kStringFields.end() && !file_number && !product_number)
        return answer;
    const auto block = ReadVersionBlock(path, answer.refusal);
    if (!block)
        return answer;
    if (product_number)
        return FixedAnswer(*block, true);
    if (!file_number) {
        // As in GetFileVersion, a string not inside the block gives
        // nothing, not the fallback.
        std::string_view text;
        const TableAnswer found = QueryTables(*block, *field, text, answer.translation);
        answer.refusal = reader::Refusal::value_outside_block;
        if (found == TableAnswer::found) {
            answer.text = memory::CopyText(text);
            answer.source = Source::table;
            answer.refusal = reader::Refusal::none;
            return answer;
        }
        if (found == TableAnswer::unsound)
            return answer;
        answer.refusal = reader::Refusal::in_no_table;
        if (field != kStringFields.begin())
            return answer;
    }
    return FixedAnswer(*block, false);
}

} // namespace qv::fileinfo
