#include "fileinfo/checked_block.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "reader/cp1252.h"
#include "reader/version_block.h"
#include "reader/version_file.h"
#include "text/text.h"

namespace qv::fileinfo {
namespace {

using reader::ByteView;

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

struct Value {
    Found found = Found::nothing;
    reader::Refusal refusal = reader::Refusal::none;
    uint32_t offset = 0;
    unsigned length = 0;
};

Value QueryValue(const CheckedBlock &block, const char *sub_block)
{
    void *pointer = nullptr;
    unsigned length = 0;
    if (!ApiValueQuery(*block.api, block.view.bytes.data(), sub_block, &pointer, &length))
        return {Found::nothing, reader::Refusal::no_such_value};
    if (pointer == nullptr || length == 0)
        return {Found::nothing, reader::Refusal::value_empty};
    const auto offset = OffsetInside(block.view, pointer, length);
    if (!offset)
        return {Found::outside, reader::Refusal::value_outside_block};
    return {Found::inside, reader::Refusal::none, *offset, length};
}

} // namespace

// size + 1 bytes go to the platform, as the setup host's own plug-ins do,
// and those are the block: nothing the platform points at outside them is
// read. One more zero byte ends, for the platform, a key that runs to the
// end. The buffer starts zero-filled so that bytes the platform leaves
// unwritten cannot change an answer. Before any query the root's length
// must fit the block.
std::optional<CheckedBlock> ReadCheckedBlock(std::string_view path, reader::Refusal &refusal,
                                             TextForm form)
{
    using reader::Refusal;
    // The path goes to the file system, which wants it terminated.
    const memory::HeapPtr<char> terminated = memory::CopyText(path);
    VersionApiHandle api = OpenVersionApi(form);
    refusal = Refusal::no_memory;
    if (!terminated || !api)
        return std::nullopt;
    uint32_t handle = 0;
    const uint32_t size = ApiInfoSize(*api, terminated.get(), &handle);
    if (!reader::UsableBlockSize(size)) {
        refusal = size != 0 ? Refusal::block_too_large : ApiSizeRefusal(*api);
        if (refusal == Refusal::none)
            refusal = Refusal::block_empty;
        return std::nullopt;
    }
    auto bytes = memory::AllocateZeroed(std::size_t{size} + 2);
    refusal = Refusal::no_memory;
    if (!bytes)
        return std::nullopt;
    refusal = Refusal::data_unreadable;
    if (!ApiInfoRead(*api, terminated.get(), handle, size + 1, bytes.get()))
        return std::nullopt;
    refusal = Refusal::root_past_block;
    if (!reader::VersionBlockFits(bytes.get(), size + 1))
        return std::nullopt;
    refusal = Refusal::none;
    const ByteView view{{bytes.get(), std::size_t{size} + 1}};
    return CheckedBlock{std::move(api), std::move(bytes), view};
}

// The units run from the value to the first zero unit or for as many units
// as the value has, all inside the block.
StringValue QueryWideString(const CheckedBlock &block, const char *sub_block)
{
    if (!reader::WideLayout(block.view))
        return QueryString(block, sub_block);
    void *pointer = nullptr;
    unsigned length = 0;
    if (!ApiWideValueQuery(*block.api, block.view.bytes.data(), sub_block, &pointer, &length))
        return {Found::nothing, {}, reader::Refusal::no_such_value};
    if (pointer == nullptr || length == 0)
        return {Found::nothing, {}, reader::Refusal::value_empty};
    const auto offset = OffsetInside(block.view, pointer, uint64_t{length} * 2);
    if (!offset)
        return {Found::outside, {}, reader::Refusal::value_outside_block};
    const uint64_t end = *offset + uint64_t{length} * 2;
    uint64_t at = *offset;
    while (at < end && block.view.ReadOrZero<uint16_t>(at) != 0)
        at += 2;
    return {Found::inside,
            {reinterpret_cast<const char *>(block.view.bytes.data() + *offset),
             static_cast<std::size_t>(at - *offset)},
            reader::Refusal::none,
            2};
}

memory::HeapPtr<char16_t[]> CopyWideText(const StringValue &value)
{
    const std::size_t count = value.text.size() / value.unit;
    auto copy = memory::AllocateArray<char16_t>(count + 1);
    if (!copy)
        return copy;
    const auto *bytes = reinterpret_cast<const uint8_t *>(value.text.data());
    for (std::size_t i = 0; i < count; i++)
        copy[i] = value.unit == 2 ? static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8)
                                  : static_cast<char16_t>(reader::Utf16FromCp1252(bytes[i]));
    copy[count] = u'\0';
    return copy;
}

// The string runs from the value to its first NUL, which must lie inside.
StringValue QueryString(const CheckedBlock &block, const char *sub_block)
{
    const Value value = QueryValue(block, sub_block);
    if (value.found != Found::inside)
        return {value.found, {}, value.refusal};
    const auto rest = block.view.bytes.subspan(value.offset);
    const void *end = std::memchr(rest.data(), '\0', rest.size());
    if (end == nullptr)
        return {Found::outside, {}, reader::Refusal::no_terminator};
    return {Found::inside,
            {reinterpret_cast<const char *>(rest.data()),
             static_cast<std::size_t>(static_cast<const uint8_t *>(end) - rest.data())}};
}

memory::HeapPtr<char> FixedRecordText(const CheckedBlock &block, uint32_t ms_offset,
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

std::optional<Translations> ReadTranslations(const CheckedBlock &block)
{
    void *pointer = nullptr;
    unsigned length = 0;
    if (!ApiValueQuery(*block.api, block.view.bytes.data(), "\\VarFileInfo\\Translation", &pointer,
                       &length))
        return Translations{};
    const auto offset = OffsetInside(block.view, pointer, 0);
    if (!offset)
        return Translations{};
    const std::size_t count =
        std::min<std::size_t>(length, block.view.size() - *offset) / kTranslationEntrySize;
    Translations list{memory::AllocateArray<uint32_t>(count), count};
    if (!list.entries)
        return std::nullopt;
    for (std::size_t i = 0; i < count; i++) {
        const uint32_t entry =
            block.view.ReadOrZero<uint32_t>(*offset + uint64_t{kTranslationEntrySize} * i);
        const uint32_t language = entry & 0xffffu;
        const uint32_t code_page = entry >> 16;
        list.entries[i] = language << 16 | code_page;
    }
    return list;
}

} // namespace qv::fileinfo
