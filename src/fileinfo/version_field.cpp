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

// U.S. English in code page 1252: the one string table GetFileVersion
// reads.
constexpr uint32_t kEnglish1252 = 0x040904E4;

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

// The string tables tried after those the file lists: U.S. English in
// Unicode, in code page 1252, and without a code page.
constexpr std::array<uint32_t, 3> kDefaultTranslations = {0x040904B0, kEnglish1252, 0x04090000};

// "\\StringFileInfo\\LLLLCCCC\\FIELD", terminated, in `path`.
void StringPath(uint32_t translation, std::string_view field, std::array<char, 64> &path)
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

// What one table gives: its string, not empty; nothing (try the next); or
// a value not inside the block (or no memory), which ends the search with
// no answer.
enum class TableAnswer { found, absent, unsound };

TableAnswer QueryTable(const CheckedBlock &block, uint32_t translation, std::string_view field,
                       std::string_view &text)
{
    std::array<char, 64> path;
    StringPath(translation, field, path);
    const StringValue value = QueryString(block, path.data());
    if (value.found == Found::outside)
        return TableAnswer::unsound;
    text = value.text;
    return text.empty() ? TableAnswer::absent : TableAnswer::found;
}

// The string of `field` from the first table that has it; a translation
// listed before is not asked again.
TableAnswer QueryTables(const CheckedBlock &block, std::string_view field, std::string_view &text)
{
    const auto list = ReadTranslations(block);
    if (!list)
        return TableAnswer::unsound;
    const std::span<const uint32_t> listed(list->entries.get(), list->count);
    for (std::size_t i = 0; i < listed.size() + kDefaultTranslations.size(); i++) {
        const uint32_t translation =
            i < listed.size() ? listed[i] : kDefaultTranslations[i - listed.size()];
        const auto before = listed.first(std::min(i, listed.size()));
        if (std::find(before.begin(), before.end(), translation) != before.end())
            continue;
        const TableAnswer answer = QueryTable(block, translation, field, text);
        if (answer != TableAnswer::absent)
            return answer;
    }
    return TableAnswer::absent;
}

} // namespace

memory::HeapPtr<char> QueryVersionField(std::string_view path, std::string_view field_name)
{
    const auto field = FindField(kVersionFields, field_name);
    if (field == nullptr)
        return {};
    const auto block = ReadCheckedBlock(path);
    if (!block)
        return {};
    // A string found, but not inside the block, gives nothing: not the
    // fallback either.
    std::array<char, 64> sub_block;
    StringPath(kEnglish1252, *field, sub_block);
    const StringValue value = QueryString(*block, sub_block.data());
    if (value.found == Found::inside)
        return memory::CopyText(value.text);
    if (value.found == Found::outside || field != &kVersionFields[0])
        return {};
    return FixedVersionText(*block, FixedVersion::product);
}

memory::HeapPtr<char> QueryVersionFieldEx(std::string_view path, std::string_view field_name)
{
    const auto field = FindField(kStringFields, field_name);
    const bool file_number = EqualIgnoringCase(field_name, kFileVersionNumber);
    const bool product_number = EqualIgnoringCase(field_name, kProductVersionNumber);
    if (field == nullptr && !file_number && !product_number)
        return {};
    const auto block = ReadCheckedBlock(path);
    if (!block)
        return {};
    if (product_number)
        return FixedVersionText(*block, FixedVersion::product);
    if (!file_number) {
        // As in QueryVersionField, a string not inside the block gives
        // nothing, not the fallback.
        std::string_view text;
        const TableAnswer answer = QueryTables(*block, *field, text);
        if (answer == TableAnswer::found)
            return memory::CopyText(text);
        if (answer == TableAnswer::unsound || field != &kStringFields[0])
            return {};
    }
    return FixedVersionText(*block, FixedVersion::file);
}

} // namespace qv::fileinfo
