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

template <TextForm form>
TableAnswer QueryTable(const CheckedBlock &block, uint32_t translation, std::string_view field,
                       StringValue &value)
{
    StringPathBuffer path;
    StringPath(translation, field, path);
    value = QueryFormString<form>(block, path.data());
    if (value.found == Found::outside)
        return TableAnswer::unsound;
    return value.text.empty() ? TableAnswer::absent : TableAnswer::found;
}

// The string of `field` from the first table that has it, and that table.
template <TextForm form>
TableAnswer QueryTables(const CheckedBlock &block, std::string_view field, StringValue &value,
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
        const TableAnswer answer = QueryTable<form>(block, table, field, value);
        if (answer != TableAnswer::absent)
            return answer;
    }
    return TableAnswer::absent;
}

// A found string's text in the answer's form.
template <TextForm form>
void SetText(FieldAnswer &answer, const StringValue &value)
{
    if constexpr (form == TextForm::wide)
        answer.wide = CopyWideText(value);
    else
        answer.text = memory::CopyText(value.text);
}

// The text of the fixed record's two words, from where it came.
template <TextForm form>
FieldAnswer FixedAnswer(const CheckedBlock &block, bool product)
{
    FieldAnswer answer;
    answer.source = product ? Source::product_version_record : Source::file_version_record;
    answer.text = FixedVersionText(block, product ? FixedVersion::product : FixedVersion::file);
    if (!answer.text) {
        answer.refusal = reader::Refusal::no_fixed_record;
        return answer;
    }
    if constexpr (form == TextForm::wide) {
        SetText<form>(answer, {Found::inside, answer.text.get()});
        answer.text.reset();
    }
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

namespace {

// GetFileVersion's rule (fileinfo/version_field.h), in either form: each
// form has functions of its own, so that the DLL carries no wide code.
template <TextForm form>
FieldAnswer PlainRule(std::string_view path, std::string_view field_name)
{
    FieldAnswer answer;
    const auto field = FindField(kVersionFields, field_name);
    answer.refusal = reader::Refusal::unknown_field;
    if (field == nullptr)
        return answer;
    const auto block = ReadCheckedBlock(path, answer.refusal, form);
    if (!block)
        return answer;
    // A string found, but not inside the block, gives nothing: not the
    // fallback either.
    StringPathBuffer sub_block;
    StringPath(kEnglish1252, *field, sub_block);
    const StringValue value = QueryFormString<form>(*block, sub_block.data());
    answer.refusal = value.refusal;
    if (value.found == Found::inside) {
        SetText<form>(answer, value);
        answer.source = Source::table;
        answer.translation = kEnglish1252;
        return answer;
    }
    if (value.found == Found::outside)
        return answer;
    answer.refusal = reader::Refusal::not_in_table;
    if (field != &kVersionFields[0])
        return answer;
    return FixedAnswer<form>(*block, true);
}

// GetFileVersionEx's rule on a block read in `form`.
template <TextForm form>
FieldAnswer ExBlockRule(const CheckedBlock &block, std::string_view field_name)
{
    FieldAnswer answer;
    const auto field = FindField(kStringFields, field_name);
    const bool file_number = EqualIgnoringCase(field_name, kFileVersionNumber);
    const bool product_number = EqualIgnoringCase(field_name, kProductVersionNumber);
    answer.refusal = reader::Refusal::unknown_field;
    if (field == nullptr && !file_number && !product_number)
        return answer;
    if (product_number)
        return FixedAnswer<form>(block, true);
    if (!file_number) {
        // As in GetFileVersion, a string not inside the block gives
        // nothing, not the fallback.
        StringValue value;
        const TableAnswer found = QueryTables<form>(block, *field, value, answer.translation);
        answer.refusal = reader::Refusal::value_outside_block;
        if (found == TableAnswer::found) {
            SetText<form>(answer, value);
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
    return FixedAnswer<form>(block, false);
}

// GetFileVersionEx's rule.
template <TextForm form>
FieldAnswer ExRule(std::string_view path, std::string_view field_name)
{
    FieldAnswer answer;
    answer.refusal = reader::Refusal::unknown_field;
    if (FindField(kExFields, field_name) == nullptr)
        return answer;
    const auto block = ReadCheckedBlock(path, answer.refusal, form);
    if (!block)
        return answer;
    return ExBlockRule<form>(*block, field_name);
}

} // namespace

FieldAnswer AnswerVersionField(std::string_view path, std::string_view field)
{
    return PlainRule<TextForm::ansi>(path, field);
}

FieldAnswer AnswerVersionFieldWide(std::string_view path, std::string_view field)
{
    return PlainRule<TextForm::wide>(path, field);
}

FieldAnswer AnswerVersionFieldEx(std::string_view path, std::string_view field)
{
    return ExRule<TextForm::ansi>(path, field);
}

FieldAnswer AnswerVersionFieldExWide(std::string_view path, std::string_view field)
{
    return ExRule<TextForm::wide>(path, field);
}

FieldAnswer AnswerBlockFieldEx(const CheckedBlock &block, std::string_view field)
{
    return ExBlockRule<TextForm::ansi>(block, field);
}

} // namespace qv::fileinfo
