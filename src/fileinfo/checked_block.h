// A file's version-information block, read once through the version
// operations (fileinfo/version_api.h) and queried through them. Every
// pointer and length they hand back is judged against the block before a
// byte there is read: the rules of GetFileVersion and GetFileVersionEx
// (version_field.cpp) see only what lies inside it.
#ifndef QV_FILEINFO_CHECKED_BLOCK_H
#define QV_FILEINFO_CHECKED_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fileinfo/version_api.h"
#include "memory/heap.h"
#include "reader/byte_view.h"
#include "reader/refusal.h"
#include "reader/version_block.h"

namespace qv::fileinfo {

// The block and the operations that keep answering queries on it.
struct CheckedBlock {
    VersionApiHandle api;
    memory::HeapPtr<uint8_t[]> bytes;
    reader::ByteView view;
};

// The block of the file at `path` (written as `form` says); none when the
// file has none, or when its root claims more bytes than were read, and
// then why in `refusal`.
std::optional<CheckedBlock> ReadCheckedBlock(std::string_view path, reader::Refusal &refusal,
                                             TextForm form = TextForm::ansi);

inline std::optional<CheckedBlock> ReadCheckedBlock(std::string_view path)
{
    reader::Refusal refusal = reader::Refusal::none;
    return ReadCheckedBlock(path, refusal);
}

// What a query gives: nothing (or an empty value); a value that does not
// lie inside the block (for a string: or that no NUL ends inside it); or
// one that does.
enum class Found { nothing, outside, inside };

struct StringValue {
    Found found = Found::nothing;
    // Inside the block, up to its NUL: 8-bit text, or with `unit` 2 the
    // UTF-16 units' bytes, low byte first.
    std::string_view text = {};
    // Why there is none: for a query the version operations refuse, only
    // that there is no such value (BlockQueryRefusal tells why).
    reader::Refusal refusal = reader::Refusal::none;
    uint8_t unit = 1;
};

// The string at `sub_block`, as the platform's 8-bit copy of it.
StringValue QueryString(const CheckedBlock &block, const char *sub_block);

// The same as the file's own UTF-16 units where its block has the 32-bit
// layout (a 16-bit block's strings are 8-bit text either way).
StringValue QueryWideString(const CheckedBlock &block, const char *sub_block);

template <TextForm form>
StringValue QueryFormString(const CheckedBlock &block, const char *sub_block)
{
    if constexpr (form == TextForm::wide)
        return QueryWideString(block, sub_block);
    else
        return QueryString(block, sub_block);
}

// A terminated UTF-16 copy of a string QueryString found: its units, or its
// 8-bit text read as code page 1252. Empty when there is no memory.
memory::HeapPtr<char16_t[]> CopyWideText(const StringValue &value);

// "a.b.c.d" from two words of the fixed record (`ms_offset` and
// `ls_offset` in it, reader/version_block.h), or empty when the block has
// no whole fixed record inside it.
memory::HeapPtr<char> FixedRecordText(const CheckedBlock &block, uint32_t ms_offset,
                                      uint32_t ls_offset);

// The two version numbers of the fixed record.
enum class FixedVersion { file, product };

// "a.b.c.d" from the fixed record's `which` version, as FixedRecordText.
inline memory::HeapPtr<char> FixedVersionText(const CheckedBlock &block, FixedVersion which)
{
    if (which == FixedVersion::file)
        return FixedRecordText(block, reader::kFileVersionMSOffset, reader::kFileVersionLSOffset);
    return FixedRecordText(block, reader::kProductVersionMSOffset, reader::kProductVersionLSOffset);
}

// An entry of the translation list, "\VarFileInfo\Translation": a WORD
// language, then a WORD code page. Read as one little-endian DWORD, the
// language is its low WORD and the code page its high one.
inline constexpr uint32_t kTranslationEntrySize = 4;

// The list's whole entries inside the block, each as one value language
// << 16 | code page; no list when the file has none or it lies outside the
// block. Copied out: later queries write their 8-bit strings into the
// block, where a damaged list may lie.
struct Translations {
    memory::HeapPtr<uint32_t[]> entries;
    std::size_t count = 0;
};

// None only when there is no memory for the copy.
std::optional<Translations> ReadTranslations(const CheckedBlock &block);

} // namespace qv::fileinfo

#endif
