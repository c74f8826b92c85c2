#include "version_field.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "byte_view.h"
#include "text/text.h"
#include "version_api.h"
#include "version_resource.h"

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

// The size of VS_FIXEDFILEINFO and the offsets of its product-version words.
constexpr uint32_t kFixedInfoSize = 52;
constexpr uint32_t kProductVersionMS = 16;
constexpr uint32_t kProductVersionLS = 20;

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

HeapPtr<char> CopyText(std::string_view text)
{
    HeapPtr<char> copy(static_cast<char *>(std::malloc(text.size() + 1)));
    if (copy) {
        std::memcpy(copy.get(), text.data(), text.size());
        copy.get()[text.size()] = '\0';
    }
    return copy;
}

// The offset of `pointer` in `block` when the `count` bytes from there all
// lie inside it. Worked out on addresses as integers: a pointer before the
// block or far past it cannot wrap around into it.
std::optional<uint32_t> OffsetInside(ByteView block, const void *pointer, uint64_t count)
{
    const uintptr_t delta =
        reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(block.bytes.data());
    if (pointer == nullptr || !RangeInside(delta, count, block.size()))
        return std::nullopt;
    return static_cast<uint32_t>(delta);
}

// "a.b.c.d" from the product-version words of the fixed record, or empty
// when the block has no whole fixed record.
HeapPtr<char> ProductVersionText(VersionApi &api, ByteView block)
{
    void *pointer = nullptr;
    unsigned length = 0;
    if (!VersionValueQuery(api, block.bytes.data(), "\\", &pointer, &length) ||
        length < kFixedInfoSize)
        return {};
    const auto record = OffsetInside(block, pointer, length);
    if (!record)
        return {};
    const auto ms = block.Read<uint32_t>(uint64_t{*record} + kProductVersionMS);
    const auto ls = block.Read<uint32_t>(uint64_t{*record} + kProductVersionLS);
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
    return CopyText({version.data(), used});
}

// The field's string, when the platform finds one that lies inside the
// block with its terminator; else, for "FileVersion", the fixed record's
// product version.
HeapPtr<char> QueryBlock(VersionApi &api, ByteView block, const VersionField &field)
{
    void *pointer = nullptr;
    unsigned length = 0;
    if (VersionValueQuery(api, block.bytes.data(), field.sub_block, &pointer, &length) &&
        pointer != nullptr && length != 0) {
        const auto offset = OffsetInside(block, pointer, length);
        if (!offset)
            return {};
        const auto rest = block.bytes.subspan(*offset);
        const void *end = std::memchr(rest.data(), '\0', rest.size());
        if (end == nullptr)
            return {};
        return CopyText(
            {reinterpret_cast<const char *>(rest.data()),
             static_cast<std::size_t>(static_cast<const uint8_t *>(end) - rest.data())});
    }
    if (&field == &kVersionFields[0])
        return ProductVersionText(api, block);
    return {};
}

} // namespace

HeapPtr<char> QueryVersionField(const char *path, std::string_view field_name)
{
    const VersionField *field = FindField(field_name);
    if (field == nullptr)
        return {};
    const VersionApiHandle api = OpenVersionApi();
    if (!api)
        return {};
    uint32_t handle = 0;
    const uint32_t size = VersionInfoSize(*api, path, &handle);
    // size + 1 bytes go to the platform, as the setup host's own plug-ins
    // do, and those are the block: nothing the platform points at outside
    // them is read. One more zero byte ends, for the platform, a key that
    // runs to the end. The buffer starts zero-filled so that bytes the
    // platform leaves unwritten cannot change an answer. Before any query
    // the root's length must fit the block.
    if (size == 0 || size >= reader::kMaxVersionBlockSize)
        return {};
    const auto block = AllocateZeroed(std::size_t{size} + 2);
    if (!block || !VersionInfoRead(*api, path, handle, size + 1, block.get()) ||
        !reader::VersionBlockFits(block.get(), size + 1))
        return {};
    return QueryBlock(*api, ByteView{{block.get(), std::size_t{size} + 1}}, *field);
}

} // namespace qv::fileinfo
