// The version-information block, as GetFileVersionInfoA fills it and
// VerQueryValueA walks it: a tree of nodes (the resource as it is), "FE2X"
// right after the tree, then room for the 8-bit copies of its strings.
#ifndef QV_READER_VERSION_BLOCK_H
#define QV_READER_VERSION_BLOCK_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "reader/byte_view.h"
#include "reader/refusal.h"

namespace qv::reader {

// A node: wLength (the node with its children), wValueLength, then, in the
// 32-bit layout, wType and a UTF-16 key; in the 16-bit layout an 8-bit key.
// The value follows the key, the children the value, each 32-bit aligned
// from the node.
inline constexpr uint32_t kNodeLengthOffset = 0;
inline constexpr uint32_t kNodeValueLengthOffset = 2;
inline constexpr uint32_t kNodeTypeOffset = 4;
inline constexpr uint32_t kNodeHeaderSize32 = 6; // the key follows
inline constexpr uint32_t kNodeHeaderSize16 = 4;

// The byte VerQueryValueA tells the layouts apart by: wType's low byte, or
// the first character of a 16-bit key. It reads the block up to it before
// anything else.
inline constexpr uint32_t kLayoutByteOffset = 4;
inline constexpr uint32_t kLeastBlockSize = kLayoutByteOffset + 1;

// VS_FIXEDFILEINFO, the value of the root ("\"), and its version words.
inline constexpr uint32_t kFixedRecordSize = 52;
inline constexpr uint32_t kFileVersionMSOffset = 8;
inline constexpr uint32_t kFileVersionLSOffset = 12;
inline constexpr uint32_t kProductVersionMSOffset = 16;
inline constexpr uint32_t kProductVersionLSOffset = 20;

// The signature written right after the tree of a 32-bit block.
inline constexpr char kBlockSignature[4] = {'F', 'E', '2', 'X'};

// As VerQueryValueA on a block of `block_length` bytes filled by
// PathInfoRead or FileInfoRead (that length given to it): for a string value, points
// *buffer at the 8-bit (code page 1252) string it writes inside the block
// and sets *length; for "\", points at the VS_FIXEDFILEINFO record. True
// when found. Wine reads and writes the block without knowing its length;
// where it would go past it, this fails instead.
bool BlockValueQuery(void *block, uint32_t block_length, std::string_view sub_block, void **buffer,
                     unsigned *length);

// As VerQueryValueW on a block of the 32-bit layout: for a string value,
// points *buffer at its UTF-16 units in the tree and sets *length to their
// count (for a binary-typed one, its bytes read as units). It finds and refuses what BlockValueQuery does (the 8-bit copy
// that one would make included), and writes nothing.
bool BlockWideValueQuery(const void *block, uint32_t block_length, std::string_view sub_block,
                         void **buffer, unsigned *length);

// True when the block is of the 32-bit layout, whose strings are UTF-16,
// as VerQueryValueA tells the layouts apart; the 16-bit layout's strings
// are 8-bit text.
inline bool WideLayout(ByteView block)
{
    const auto byte = block.Read<uint8_t>(kLayoutByteOffset);
    return byte && static_cast<int8_t>(*byte) < ' ';
}

// True when BlockValueQuery of `sub_block` on the block finds a value and
// reads and writes only inside the block's `block_length` bytes. Nothing is
// written. The Windows build asks this before each VerQueryValueA, which
// does not know the block's length.
bool BlockQueryStaysInside(const void *block, uint32_t block_length, std::string_view sub_block);

// Why BlockValueQuery of `sub_block` fails on the block (Refusal::none
// when it finds a value inside it). Nothing is written.
Refusal BlockQueryRefusal(const void *block, uint32_t block_length, std::string_view sub_block);

// True when the `length` bytes at `block` hold at least the root's header
// and its wLength: the tree VerQueryValueA walks, in either layout, is then
// inside what was read. Each query's own reads and its 8-bit copy are
// judged by BlockQueryStaysInside.
inline bool VersionBlockFits(const void *block, uint32_t length)
{
    if (length < kNodeHeaderSize32)
        return false;
    const ByteView bytes{{static_cast<const uint8_t *>(block), length}};
    return bytes.ReadOrZero<uint16_t>(kNodeLengthOffset) <= length;
}

// Text inside the block: `count` units from `offset`, each a UTF-16 code
// unit in the 32-bit layout and a code page 1252 byte in the 16-bit one. No
// NUL among them.
struct BlockText {
    uint32_t offset = 0;
    uint32_t count = 0;
};

// What NextVersionString stepped to.
enum class VersionEntry { table, string, end };

// A walk over the string tables of every "StringFileInfo" child of the
// root, and the strings of each, in file order. Each step reads only inside
// the block, as BlockValueQuery reads: the children of a node from its
// value on, up to its wLength, ending at a child whose wLength is 0 or
// whose header or key is not all inside. Start with StartVersionStrings.
struct VersionStringCursor {
    ByteView block;
    bool wide = false;                   // the 32-bit layout
    uint32_t info = 0, info_end = 0;     // the root's next child, and its end
    uint32_t table = 0, table_end = 0;   // the next table of a StringFileInfo
    uint32_t string = 0, string_end = 0; // the next string of a table
    BlockText key;                       // of the table (its translation) or of the string
    // Of the string: what a query of it would give, else empty.
    BlockText value;
    // The string's wType says binary: VerQueryValueA hands its bytes back
    // as they are, not as 8-bit text.
    bool binary = false;
    // StringFileInfo nodes met so far; the queries look in the first only.
    uint32_t info_count = 0;
    uint32_t entries = 0; // stepped to so far
};

VersionStringCursor StartVersionStrings(ByteView block);
VersionEntry NextVersionString(VersionStringCursor &cursor);

// The whole 4-byte entries of "\VarFileInfo\Translation" inside the
// block, as count entries from offset; none found gives count 0.
BlockText VersionTranslations(ByteView block);

// The offset of the root's VS_FIXEDFILEINFO record when it is all inside.
std::optional<uint32_t> VersionFixedRecord(ByteView block);

} // namespace qv::reader

#endif
