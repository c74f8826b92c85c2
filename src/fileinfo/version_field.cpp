// The rules of GetFileVersion and GetFileVersionEx: which sub-blocks each
// asks of a file's checked version block (checked_block.h), in what order,
// and what it answers from them.
#include "fileinfo/version_field.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "fileinfo/checked_block.h"
#include "fileinfo/version_fields.h"
#include "text/text.h"

namespace qv::fileinfo {
namespace {

constexpr bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (text::FoldAscii(a[i]) != text::FoldAscii(b[i]))
            return false;
    return true;
}

// The field of `fields` that `name` names in any ASCII case, if any.
const std::string_view *FindField(std::span<const std::string_view> fields, std::string_view name)
{
    for (const std::string_view &field : fields)
        if (EqualIgnoringCase(field, name))
            return &field;
    return nullptr;
}

// What one table gives: its string, not empty; nothing (try the next); or
// a value not inside the block (or no memory), which ends the search with
// no answer.
enum class TableAnswer { found, absent, unsound };

TableAnswer QueryTable(const CheckedBlock &block, uint32_t translation, std::string_view field,
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
TableAnswer QueryTables(const CheckedBlock &block, std::string_view field, std::string_view &text,
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
FieldAnswer FixedAnswer(const CheckedBlock &block, bool product)
{
    FieldAnswer answer;
    answer.source = product ? Source::product_version_record : Source::file_version_record;
    answer.text = FixedVersionText(block, product ? FixedVersion::product : FixedVersion::file);
    if (!answer.text)
        answer.refusal = reader::Refusal::no_fixed_record;
    return answer;
}

} // namespace

void StringPath(uint32_t translation, std::string_view field, StringPathBuffer &path)
{
    constexpr std::string_view kTables = "\\StringFileInfo\\";
    constexpr char kHex[] = "0123456789ABCDEF";
    std::size_t used = kTables.copy(path.data(), kTables.size());
    for (int shift = 28; shift >= 0; shift -= 4)
        path[used++] = kHex[(translation >> shift) & 0xf];
    path[used++] = '\\';
    used += field.copy(path.data() + used, path.size() - used - 1);
    path[used] = '\0';
}

FieldAnswer AnswerVersionField(std::string_view path, std::string_view field_name)
{
    FieldAnswer answer;
    const auto field = FindField(kVersionFields, field_name);
    answer.refusal = reader::Refusal::unknown_field;
    if (field == nullptr)
        return answer;
    const auto block = ReadCheckedBlock(path, answer.refusal);
    if (!block)
        return answer;
    // A string found, but not inside the block, gives nothing: not the
    // fallback either.
    StringPathBuffer sub_block;
    StringPath(kEnglish1252, *field, sub_block);
    const StringValue value = QueryString(*block, sub_block.data());
    answer.refusal = value.refusal;
    if (value.found == Found::inside) {
        answer.text = memory::CopyText(value.text);
        answer.source = Source::table;
        answer.translation = kEnglish1252;
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
    answer.refusal = reader::Refusal::unknown_field;
    if (FindField(kExFields, field_name) == nullptr)
        return answer;
    const auto block = ReadCheckedBlock(path, answer.refusal);
    if (!block)
        return answer;
    return AnswerBlockFieldEx(*block, field_name);
}

FieldAnswer AnswerBlockFieldEx(const CheckedBlock &block, std::string_view field_name)
{
    FieldAnswer answer;
    const auto field = FindField(kStringFields, field_name);
    const bool file_number = EqualIgnoringCase(field_name, kFileVersionNumber);
    const bool product_number = EqualIgnoringCase(field_name, kProductVersionNumber);
    answer.refusal = reader::Refusal::unknown_field;
    if (field == nullptr && !file_number && !product_number)
        return answer;
    if (product_number)
        return FixedAnswer(block, true);
    if (!file_number) {
        // As in GetFileVersion, a string not inside the block gives
        // nothing, not the fallback.
        std::string_view text;
        const TableAnswer found = QueryTables(block, *field, text, answer.translation);
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
        if (field != &kStringFields[0])
            return answer;
    }
    return FixedAnswer(block, false);
}

} // namespace qv::fileinfo
