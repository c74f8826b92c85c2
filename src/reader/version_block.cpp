// VerQueryValueA over a version-information block, as Wine 8 walks it. Wine
// reads and writes the block without knowing its length; here every read
// and write is checked against it, and a query that would leave it fails.
#include "reader/version_block.h"

#include <algorithm>
#include <optional>

#include "reader/cp1252.h"
#include "text/text.h"

namespace qv::reader {

// A UTF-16 code unit of a key or a string.
constexpr uint32_t kUnitSize = sizeof(uint16_t);
namespace {

// The buffer: the tree, "FE2X", the 8-bit copies.
struct Block {
    ByteView view;
    uint8_t *writable; // null: the query only judges, nothing is written
};

struct Node {
    uint32_t offset;
    uint16_t length;
    uint16_t value_length;
    uint16_t type;
    uint32_t value; // offset of the value, 32-bit aligned from the node
    uint32_t children;
};

constexpr uint32_t AlignTo32Bits(uint32_t offset)
{
    return (offset + 3) & ~3u;
}

// A header of the 32-bit layout: wLength, wValueLength, wType, then a
// UTF-16 key. wValueLength counts characters for text (wType nonzero) and
// bytes for binary values.
std::optional<Node> ReadNode32(const Block &b, uint32_t offset)
{
    const auto length = b.view.Read<uint16_t>(offset + kNodeLengthOffset);
    const auto value_length = b.view.Read<uint16_t>(offset + kNodeValueLengthOffset);
    const auto type = b.view.Read<uint16_t>(offset + kNodeTypeOffset);
    if (!length || !value_length || !type)
        return std::nullopt;
    uint32_t key = offset + kNodeHeaderSize32;
    for (uint16_t unit = 1; unit != 0; key += kUnitSize) {
        const auto read = b.view.Read<uint16_t>(key);
        if (!read)
            return std::nullopt; // Wine reads on past the block; unterminated here
        unit = *read;
    }
    Node node{offset, *length, *value_length, *type, 0, 0};
    node.value = offset + AlignTo32Bits(key - offset);
    const uint32_t value_bytes = uint32_t{node.value_length} * (node.type != 0 ? kUnitSize : 1);
    node.children = node.value + AlignTo32Bits(value_bytes);
    return node;
}

// A header of the 16-bit layout: wLength, wValueLength, then an 8-bit key;
// wValueLength counts bytes.
std::optional<Node> ReadNode16(const Block &b, uint32_t offset)
{
    const auto length = b.view.Read<uint16_t>(offset + kNodeLengthOffset);
    const auto value_length = b.view.Read<uint16_t>(offset + kNodeValueLengthOffset);
    if (!length || !value_length)
        return std::nullopt;
    uint32_t key = offset + kNodeHeaderSize16;
    for (uint8_t c = 1; c != 0; key++) {
        const auto read = b.view.Read<uint8_t>(key);
        if (!read)
            return std::nullopt;
        c = *read;
    }
    Node node{offset, *length, *value_length, 0, 0, 0};
    node.value = offset + AlignTo32Bits(key - offset);
    node.children = node.value + AlignTo32Bits(node.value_length);
    return node;
}

// Always inlined, as when Walk and FindChild were its only callers: the
// enumeration below calls it too, and the DLL, which does not use that,
// keeps the code it had.
[[gnu::always_inline]] inline std::optional<Node> ReadNode(const Block &b, uint32_t offset,
                                                           bool wide)
{
    return wide ? ReadNode32(b, offset) : ReadNode16(b, offset);
}

// A character of the path as the key it is compared with: the 32-bit layout
// has UTF-16 keys, to which VerQueryValueA converts the path first.
uint16_t PathUnit(char c, bool wide)
{
    const auto byte = static_cast<uint8_t>(c);
    return wide ? Utf16FromCp1252(byte) : byte;
}

enum class KeyMatch { same, different, off_block };

// Whether the child's key at `key` is `name`, ignoring case.
// Always inlined into FindChild, as ReadNode is.
[[gnu::always_inline]] inline KeyMatch MatchKey(const Block &b, uint32_t key, bool wide,
                                                std::string_view name)
{
    for (std::size_t i = 0; i <= name.size(); i++) {
        const std::optional<uint16_t> unit =
            wide ? b.view.Read<uint16_t>(key + kUnitSize * uint64_t{i})
                 : std::optional<uint16_t>(b.view.Read<uint8_t>(key + uint64_t{i}));
        if (!unit)
            return KeyMatch::off_block;
        if (i == name.size())
            return *unit == 0 ? KeyMatch::same : KeyMatch::different;
        // Only A-Z are folded, as Wine's wcsnicmp and strnicmp fold.
        if (text::FoldAscii(*unit) != text::FoldAscii(PathUnit(name[i], wide)))
            return KeyMatch::different;
    }
    return KeyMatch::different;
}

// The node at `offset`, or why it cannot be read.
Refusal TakeNode(const Block &b, uint32_t offset, bool wide, Node &node)
{
    const auto read = ReadNode(b, offset, wide);
    if (!read)
        return Refusal::key_leaves_block;
    node = *read;
    return Refusal::none;
}

// The children start after the value and are each aligned to 32 bits from
// the previous one; the walk stops at the parent's wLength or at a child
// whose wLength is 0. `node` becomes the child found.
Refusal FindChild(const Block &b, Node &node, bool wide, std::string_view name)
{
    const uint32_t end = node.offset + node.length;
    for (uint32_t child = node.children; child < end;) {
        switch (MatchKey(b, child + (wide ? kNodeHeaderSize32 : kNodeHeaderSize16), wide, name)) {
        case KeyMatch::off_block:
            return Refusal::key_leaves_block;
        case KeyMatch::same:
            return TakeNode(b, child, wide, node);
        case KeyMatch::different:
            break;
        }
        const auto length = b.view.Read<uint16_t>(child + kNodeLengthOffset);
        if (!length)
            return Refusal::key_leaves_block;
        if (*length == 0)
            return Refusal::no_such_value;
        child += AlignTo32Bits(*length);
    }
    return Refusal::no_such_value;
}

// Follows the path's components (empty ones skipped) from the root.
Refusal Walk(const Block &b, std::string_view path, bool wide, Node &node)
{
    Refusal refusal = TakeNode(b, 0, wide, node);
    while (refusal == Refusal::none && !path.empty()) {
        const std::size_t count = std::min(path.find('\\'), path.size());
        if (count == 0) {
            path.remove_prefix(1);
            continue;
        }
        refusal = FindChild(b, node, wide, path.substr(0, count));
        path.remove_prefix(count);
    }
    return refusal;
}

// Converts `count` UTF-16 units at `source` into `room` bytes at `target`
// as WideCharToMultiByte(CP_ACP, 0) does: with no room it only reports the
// length; with too little it fills the room and reports 0. None when the
// units read or the bytes written would not all be inside the block. With
// nothing writable only the bounds are judged.
std::optional<uint32_t> ConvertToAnsi(const Block &b, uint32_t source, uint32_t count,
                                      uint32_t target, int64_t room)
{
    if (count == 0 || room < 0)
        return 0;
    if (room == 0)
        return count;
    const uint32_t written = count < room ? count : static_cast<uint32_t>(room);
    if (!RangeInside(source, kUnitSize * uint64_t{written}, b.view.size()) ||
        !RangeInside(target, written, b.view.size()))
        return std::nullopt;
    for (uint32_t i = 0; b.writable != nullptr && i < written; i++)
        b.writable[target + i] =
            Cp1252FromUtf16(b.view.ReadOrZero<uint16_t>(source + kUnitSize * i));
    return count <= room ? count : 0;
}

// What a query hands back for a string of the 32-bit layout: its 8-bit
// copy (VerQueryValueA), only judged without making it, or its UTF-16 units
// in the tree (VerQueryValueW), once the copy is judged.
enum class Answer { copy, judge, utf16 };

// VerQueryValueA, or as `answer` says.
Refusal Query(const void *block, uint32_t block_length, std::string_view sub_block, void **buffer,
              unsigned *length, Answer answer)
{
    const bool write = answer == Answer::copy;
    if (block == nullptr || block_length < kLeastBlockSize)
        return Refusal::block_too_short;
    sub_block = sub_block.substr(0, sub_block.find('\0'));
    if (sub_block.empty())
        sub_block = "\\";
    // VerQueryValueA writes its 8-bit strings into the block, so it is not
    // really read-only.
    auto *bytes = static_cast<uint8_t *>(const_cast<void *>(block));
    const Block b{{{bytes, block_length}}, write ? bytes : nullptr};
    // Wine takes the block for the 16-bit layout when the byte where a
    // 32-bit block has its wType holds a key character; the byte is a
    // signed char there, so 0x80 and above mean the 32-bit layout.
    const bool wide = static_cast<int8_t>(bytes[kLayoutByteOffset]) < ' ';
    Node node{};
    Refusal refusal = Walk(b, sub_block, wide, node);
    // A value said to start past the block is refused (Wine returns it).
    if (refusal == Refusal::none && node.value > b.view.size())
        refusal = Refusal::value_past_block;
    if (refusal != Refusal::none) {
        if (length != nullptr)
            *length = 0;
        return refusal;
    }
    *buffer = bytes + node.value;
    if (length != nullptr)
        *length = node.value_length;
    // A binary value's length counts bytes: as text, half as many units.
    if (length != nullptr && answer == Answer::utf16 && wide && node.type == 0)
        *length = node.value_length / kUnitSize;
    if (wide && node.type != 0) {
        // Text: the 8-bit copy goes at the same offset in the area after
        // the tree and "FE2X", with room up to the tree's length from there.
        const uint32_t tree = b.view.ReadOrZero<uint16_t>(kNodeLengthOffset);
        const uint32_t target = tree + sizeof kBlockSignature + node.value;
        const int64_t room = static_cast<int32_t>(tree - node.value);
        const auto converted = ConvertToAnsi(b, node.value, node.value_length, target, room);
        if (length != nullptr)
            *length = converted.value_or(0);
        if (!converted)
            return Refusal::copy_leaves_block;
        // The units stay where they are; a copy with no room (length 0)
        // gives no text either way.
        if (answer == Answer::utf16)
            return Refusal::none;
        *buffer = bytes + target;
    }
    return Refusal::none;
}

} // namespace

bool BlockValueQuery(void *block, uint32_t block_length, std::string_view sub_block, void **buffer,
                     unsigned *length)
{
    return Query(block, block_length, sub_block, buffer, length, Answer::copy) == Refusal::none;
}

bool BlockWideValueQuery(const void *block, uint32_t block_length, std::string_view sub_block,
                         void **buffer, unsigned *length)
{
    return Query(block, block_length, sub_block, buffer, length, Answer::utf16) == Refusal::none;
}

Refusal BlockQueryRefusal(const void *block, uint32_t block_length, std::string_view sub_block)
{
    void *value = nullptr;
    unsigned length = 0;
    return Query(block, block_length, sub_block, &value, &length, Answer::judge);
}

bool BlockQueryStaysInside(const void *block, uint32_t block_length, std::string_view sub_block)
{
    return BlockQueryRefusal(block, block_length, sub_block) == Refusal::none;
}

// The enumeration of a block's strings: the same nodes and bounds as the
// queries above, visited in file order.
namespace {

// Named arrays, not literals: each goes in a section of its own, which the
// DLL's linker drops with the code that uses it.
constexpr char kStringFileInfo[] = "StringFileInfo";
constexpr char kVarFileInfo[] = "VarFileInfo";
constexpr char kTranslation[] = "Translation";

// The child at `offset`, when it is before `end` and its header and key are
// inside the block; `offset` then moves to the next child. As in FindChild,
// a child whose wLength is 0 is the last (a query still finds it by name).
std::optional<Node> NextChild(const Block &b, uint32_t &offset, uint32_t end, bool wide)
{
    const auto node = offset < end ? ReadNode(b, offset, wide) : std::nullopt;
    offset = node && node->length != 0 ? offset + AlignTo32Bits(node->length) : end;
    return node;
}

uint32_t KeyOffset(const Node &node, bool wide)
{
    return node.offset + (wide ? kNodeHeaderSize32 : kNodeHeaderSize16);
}

// The first child of `parent` named `name`, as FindChild finds it in a
// sound block.
std::optional<Node> FirstChild(const Block &b, const Node &parent, bool wide, std::string_view name)
{
    uint32_t offset = parent.children;
    while (const auto child = NextChild(b, offset, parent.offset + parent.length, wide))
        if (MatchKey(b, KeyOffset(*child, wide), wide, name) == KeyMatch::same)
            return child;
    return std::nullopt;
}

// The units before `limit` or the first NUL from `offset`; those read are
// inside the block.
BlockText TextUpToNul(const Block &b, uint32_t offset, uint32_t limit, bool wide)
{
    BlockText text{offset, 0};
    for (; text.count < limit; text.count++) {
        const std::optional<uint16_t> unit =
            wide ? b.view.Read<uint16_t>(offset + uint64_t{kUnitSize} * text.count)
                 : std::optional<uint16_t>(b.view.Read<uint8_t>(offset + uint64_t{text.count}));
        if (!unit || *unit == 0)
            break;
    }
    return text;
}

// A string's value as QueryString sees it. 32-bit layout: the wValueLength
// units, up to a NUL, when Query would copy them (inside the block, their
// copy too, with room before the tree's end); a binary value's bytes,
// which VerQueryValueA hands back as they are, read as UTF-16 all the same. 16-bit layout: the bytes up to the first NUL, when
// the wValueLength bytes are inside.
BlockText StringValue(const Block &b, const Node &node, bool wide)
{
    const uint64_t size = b.view.size();
    if (!wide) {
        if (node.value_length == 0 || !RangeInside(node.value, node.value_length, size))
            return {};
        const BlockText text = TextUpToNul(b, node.value, UINT32_MAX, false);
        return RangeInside(node.value, uint64_t{text.count} + 1, size) ? text : BlockText{};
    }
    if (node.type == 0)
        return RangeInside(node.value, node.value_length, size)
                   ? TextUpToNul(b, node.value, node.value_length / kUnitSize, true)
                   : BlockText{};
    const uint32_t count = node.value_length;
    const uint32_t tree = b.view.ReadOrZero<uint16_t>(kNodeLengthOffset);
    const int64_t room = static_cast<int32_t>(tree - node.value);
    if (count > room || !RangeInside(node.value, kUnitSize * uint64_t{count}, size) ||
        !RangeInside(uint64_t{tree} + sizeof kBlockSignature + node.value, count, size))
        return {};
    return TextUpToNul(b, node.value, count, true);
}

} // namespace

VersionStringCursor StartVersionStrings(ByteView block)
{
    VersionStringCursor cursor;
    cursor.block = block;
    if (block.size() < kLeastBlockSize)
        return cursor;
    cursor.wide = static_cast<int8_t>(block.bytes[kLayoutByteOffset]) < ' ';
    if (const auto root = ReadNode({block, nullptr}, 0, cursor.wide)) {
        cursor.info = root->children;
        cursor.info_end = root->offset + root->length;
    }
    return cursor;
}

// Nodes that do not overlap take at least 8 bytes each (a header and a
// NUL). Children may claim to run past their parent, so the tables of many
// StringFileInfo nodes can all walk the same strings: the walk ends after a
// block's worth of entries, one for each 4 bytes.
VersionEntry NextVersionString(VersionStringCursor &c)
{
    const Block b{c.block, nullptr};
    if (c.entries >= c.block.size() / 4)
        return VersionEntry::end;
    c.entries++;
    for (;;) {
        if (const auto string = NextChild(b, c.string, c.string_end, c.wide)) {
            c.key = TextUpToNul(b, KeyOffset(*string, c.wide), UINT32_MAX, c.wide);
            c.value = StringValue(b, *string, c.wide);
            c.binary = c.wide && string->type == 0;
            return VersionEntry::string;
        }
        if (const auto table = NextChild(b, c.table, c.table_end, c.wide)) {
            c.key = TextUpToNul(b, KeyOffset(*table, c.wide), UINT32_MAX, c.wide);
            c.value = {};
            c.string = table->children;
            c.string_end = table->offset + table->length;
            return VersionEntry::table;
        }
        const auto info = NextChild(b, c.info, c.info_end, c.wide);
        if (!info)
            return VersionEntry::end;
        if (MatchKey(b, KeyOffset(*info, c.wide), c.wide, kStringFileInfo) == KeyMatch::same) {
            c.info_count++;
            c.table = info->children;
            c.table_end = info->offset + info->length;
        }
    }
}

BlockText VersionTranslations(ByteView block)
{
    if (block.size() < kLeastBlockSize)
        return {};
    const bool wide = static_cast<int8_t>(block.bytes[kLayoutByteOffset]) < ' ';
    const Block b{block, nullptr};
    const auto root = ReadNode(b, 0, wide);
    const auto info = root ? FirstChild(b, *root, wide, kVarFileInfo) : std::nullopt;
    const auto node = info ? FirstChild(b, *info, wide, kTranslation) : std::nullopt;
    if (!node || node->value > block.size())
        return {};
    const uint64_t bytes = std::min<uint64_t>(node->value_length, block.size() - node->value);
    return {node->value, static_cast<uint32_t>(bytes / 4)};
}

std::optional<uint32_t> VersionFixedRecord(ByteView block)
{
    if (block.size() < kLeastBlockSize)
        return std::nullopt;
    const bool wide = static_cast<int8_t>(block.bytes[kLayoutByteOffset]) < ' ';
    const auto root = ReadNode({block, nullptr}, 0, wide);
    if (!root || root->value_length < kFixedRecordSize ||
        !RangeInside(root->value, kFixedRecordSize, block.size()))
        return std::nullopt;
    return root->value;
}

} // namespace qv::reader
