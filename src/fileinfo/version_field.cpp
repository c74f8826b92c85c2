#include "fileinfo/version_field.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "fileinfo/version_api.h"
#include "reader/byte_view.h"
#include "reader/version_block.h"
#include "reader/version_file.h"
#include "text/text.h"

namespace qv::fileinfo {
namespace {

using reader::ByteView;

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
constexpr std::string_view kFileVersionNumber = "FileVersionNumber";
constexpr std::string_view kProductVersionNumber = "ProductVersionNumber";

// The string tables tried after those the file lists: U.S. English in
// Unicode, in code page 1252, and without a code page.
constexpr std::array<uint32_t, 3> kDefaultTranslations = {0x040904B0, 0x040904E4, 0x04090000};

// A file's version-information block, read through the version operations,
// which keep answering queries on it.
struct VersionBlock {
    VersionApiHandle api;
    memory::HeapPtr<uint8_t[]> bytes;
    ByteView view;
};

// size + 1 bytes go to the platform, as the setup host's own plug-ins do,
// and those are the block: nothing the platform points at outside them is
// read. One more zero byte ends, for the platform, a key that runs to the
// end. The buffer starts zero-filled so that bytes the platform leaves
// unwritten cannot change an answer. Before any query the root's length
// must fit the block.
std::optional<VersionBlock> ReadVersionBlock(std::string_view path)
{
    // The path goes to the file system, which wants it terminated.
    const memory::HeapPtr<char> terminated = memory::CopyText(path);
    VersionApiHandle api = OpenVersionApi();
    if (!terminated || !api)
        return std::nullopt;
    uint32_t handle = 0;
    const uint32_t size = VersionInfoSize(*api, terminated.get(), &handle);
    if (size == 0 || size >= reader::kMaxVersionBlockSize)
        return std::nullopt;
    auto bytes = memory::AllocateZeroed(std::size_t{size} + 2);
    if (!bytes || !VersionInfoRead(*api, terminated.get(), handle, size + 1, bytes.get()) ||
        !reader::VersionBlockFits(bytes.get(), size + 1))
        return std::nullopt;
    const ByteView view{{bytes.get(), std::size_t{size} + 1}};
    return VersionBlock{std::move(api), std::move(bytes), view};
}

// The offset of `pointer` in `block` when the `count` bytes from there all
// lie inside it. Worked out on addresses as integers: a pointer before the
// block or far past it cannot wrap around into it.
std::optional<uint32_t> OffsetInside(ByteView block, const void *pointer, uint64_t count)
{
    const uintptr_t delta =
        reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(block.bytes.data());
    if (pointer == nullptr || !reader::RangeInside(delta, count, block.size()))
        return std::nullopt;
    return static_cast<uint32_t>(delta);
}

// What the platform answers for a sub-block: nothing (or an empty value),
// a value that does not lie inside the block, or one that does.
enum class Found { nothing, outside, inside };

struct Value {
    Found found = Found::nothing;
    uint32_t offset = 0;
    unsigned length = 0;
};

Value QueryValue(const VersionBlock &block, const char *sub_block)
{
    void *pointer = nullptr;
    unsigned length = 0;
    if (!VersionValueQuery(*block.api, block.view.bytes.data(), sub_block, &pointer, &length) ||
        pointer == nullptr || length == 0)
        return {};
    const auto offset = OffsetInside(block.view, pointer, length);
    if (!offset)
        return {Found::outside};
    return {Found::inside, *offset, length};
}

// The string of a value inside the block, up to its first NUL; none when
// no NUL ends it inside the block.
std::optional<std::string_view> StringAt(const VersionBlock &block, uint32_t offset)
{
    const auto rest = block.view.bytes.subspan(offset);
    const void *end = std::memchr(rest.data(), '\0', rest.size());
    if (end == nullptr)
        return std::nullopt;
    return std::string_view{
        reinterpret_cast<const char *>(rest.data()),
        static_cast<std::size_t>(static_cast<const uint8_t *>(end) - rest.data())};
}

// "a.b.c.d" from two words of the fixed record (`ms_offset` and
// `ls_offset` in it), or empty when the block has no whole fixed record.
memory::HeapPtr<char> FixedVersionText(const VersionBlock &block, uint32_t ms_offset,
                                       uint32_t ls_offset)
{
    const Value record = QueryValue(block, "\\");
    if (record.found != Found::inside || record.length < reader::kFixedRecordSize)
        return {};
    const auto ms = block.view.Read<uint32_t>(uint64_t{record.offset} + ms_offset);
    const auto ls = block.view.Read<uint32_t>(uint64_t{record.offset} + ls_offset);
    if (!ms || !ls)
        return {};
    const std::array<uint32_t, 4> parts = {*ms >> 16, *ms & 0xffffu, *ls >> 16, *ls & 0xffffu};
    // Four numbers of at most five digits, and three dots.
    std::array<char, 4 * 6> version;
    std::size_t used = 0;
    std::array<char, text::kDecimalSize> number;
    for (std::size_t i = 0; i < parts.size(); i++) {
        if (i > 0)
            version[used++] = '.';
        const std::string_view digits = text::FormatDecimal(static_cast<int32_t>(parts[i]), number);
        std::memcpy(version.data() + used, digits.data(), digits.size());
        used += digits.size();
    }
    return memory::CopyText({version.data(), used});
}

// The file's translation list, "\\VarFileInfo\\Translation": pairs of a
// WORD language and a WORD code page, each as one value language << 16 |
// code page. Only whole entries inside the block count. They are copied
// out first: the queries that follow write their 8-bit strings into the
// block, where a damaged list may lie.
struct Translations {
    memory::HeapPtr<uint32_t[]> entries;
    std::size_t count = 0;
};

std::optional<Translations> ReadTranslations(const VersionBlock &block)
{
    void *pointer = nullptr;
    unsigned length = 0;
    if (!VersionValueQuery(*block.api, block.view.bytes.data(), "\\VarFileInfo\\Translation",
                           &pointer, &length))
        return Translations{};
    const auto offset = OffsetInside(block.view, pointer, 0);
    if (!offset)
        return Translations{};
    const std::size_t count = std::min<std::size_t>(length, block.view.size() - *offset) / 4;
    Translations list{memory::HeapPtr<uint32_t[]>(
                          static_cast<uint32_t *>(std::malloc(count * sizeof(uint32_t) + 1))),
                      count};
    if (!list.entries)
        return std::nullopt;
    for (std::size_t i = 0; i < count; i++)
        list.entries[i] = uint32_t{block.view.ReadOrZero<uint16_t>(*offset + 4 * i)} << 16 |
                          block.view.ReadOrZero<uint16_t>(*offset + 4 * i + 2);
    return list;
}

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

TableAnswer QueryTable(const VersionBlock &block, uint32_t translation, std::string_view field,
                       std::string_view &text)
{
    std::array<char, 64> path;
    StringPath(translation, field, path);
    const Value value = QueryValue(block, path.data());
    if (value.found == Found::nothing)
        return TableAnswer::absent;
    const auto string = value.found == Found::inside ? StringAt(block, value.offset) : std::nullopt;
    if (!string)
        return TableAnswer::unsound;
    text = *string;
    return text.empty() ? TableAnswer::absent : TableAnswer::found;
}

// The string of `field` from the first table that has it; a translation
// listed before is not asked again.
TableAnswer QueryTables(const VersionBlock &block, std::string_view field, std::string_view &text)
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
    const VersionField *field = FindField(field_name);
    if (field == nullptr)
        return {};
    const auto block = ReadVersionBlock(path);
    if (!block)
        return {};
    // A string found, but not inside the block, gives nothing: not the
    // fallback either.
    const Value value = QueryValue(*block, field->sub_block);
    if (value.found != Found::nothing) {
        const auto text =
            value.found == Found::inside ? StringAt(*block, value.offset) : std::nullopt;
        return text ? memory::CopyText(*text) : memory::HeapPtr<char>{};
    }
    if (field == &kVersionFields[0])
        return FixedVersionText(*block, reader::kProductVersionMSOffset,
                                reader::kProductVersionLSOffset);
    return {};
}

memory::HeapPtr<char> QueryVersionFieldEx(std::string_view path, std::string_view field_name)
{
    const auto *field =
        std::find_if(kStringFields.begin(), kStringFields.end(),
                     [&](std::string_view f) { return EqualIgnoringCase(f, field_name); });
    const bool file_number = EqualIgnoringCase(field_name, kFileVersionNumber);
    const bool product_number = EqualIgnoringCase(field_name, kProductVersionNumber);
    if (field == kStringFields.end() && !file_number && !product_number)
        return {};
    const auto block = ReadVersionBlock(path);
    if (!block)
        return {};
    if (product_number)
        return FixedVersionText(*block, reader::kProductVersionMSOffset,
                                reader::kProductVersionLSOffset);
    if (!file_number) {
        // As in QueryVersionField, a string not inside the block gives
        // nothing, not the fallback.
        std::string_view text;
        const TableAnswer answer = QueryTables(*block, *field, text);
        if (answer == TableAnswer::found)
            return memory::CopyText(text);
        if (answer == TableAnswer::unsound || field != kStringFields.begin())
            return {};
    }
    return FixedVersionText(*block, reader::kFileVersionMSOffset, reader::kFileVersionLSOffset);
}

} // namespace qv::fileinfo
