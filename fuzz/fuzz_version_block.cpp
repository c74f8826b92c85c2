// The version-block walker on raw bytes, which are the block: each of a fixed
// set of paths, sound and malformed, is asked of the judge
// (BlockQueryStaysInside), then of the query (BlockValueQuery), as the
// Windows build asks before each VerQueryValueA. The block is a heap copy of
// the input's size, so the sanitizer stops any access past it. The judge
// writes nothing and says inside exactly when the query finds a value; a
// miss writes nothing; a value starts inside the block or at its end, and a
// string's 8-bit copy (a query that wrote) lies inside with its length. The
// judge does not answer for a copy with no room, not written: Wine places it
// past the tree and its signature, even past the block, and the caller
// judges it. The enumeration of the block's strings reads only inside it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "reader/version_block.h"

namespace {

using namespace qv::reader;

const std::string kLongPath = "\\StringFileInfo\\040904E4\\" + std::string(300, 'A');

const std::string_view kPaths[] = {
    "\\",
    "\\VarFileInfo\\Translation",
    "\\StringFileInfo\\040904E4\\FileVersion",
    "\\StringFileInfo\\040904B0\\CompanyName",
    "\\StringFileInfo\\04090000\\ProductName",
    "",
    "\\\\StringFileInfo\\\\040904e4\\\\fileversion",
    "\\StringFileInfo\\040904E4\\",
    "StringFileInfo\\040904B0\\SpecialBuild",
    "\\StringFileInfo\\040904E4\\Caf\xe9",
    "\\\xc3\xa9\\\x80\xff",
    {"\\StringFileInfo\0\\040904E4", 25},
    kLongPath,
};

void Check(bool condition, const char *broken, std::string_view path)
{
    if (condition)
        return;
    std::fprintf(stderr, "%s, asked \"%.*s\"\n", broken, static_cast<int>(path.size()),
                 path.data());
    std::abort();
}

// Every key and value the enumeration yields, the translation list and the
// fixed record lie inside the block, and the walk is no longer than it.
void CheckEnumeration(ByteView view)
{
    auto cursor = StartVersionStrings(view);
    const auto inside = [&](BlockText text) {
        return RangeInside(text.offset, uint64_t{text.count} * (cursor.wide ? 2 : 1), view.size());
    };
    uint64_t entries = 0;
    for (auto entry = NextVersionString(cursor); entry != VersionEntry::end;
         entry = NextVersionString(cursor), entries++)
        Check(inside(cursor.key) && inside(cursor.value), "a string lies outside", "(strings)");
    // Tables whose strings overlap (corpus: tables_sharing_strings) are cut
    // off at one entry for each 4 bytes.
    Check(entries <= view.size() / 4, "too many strings", "(strings)");
    const BlockText list = VersionTranslations(view);
    Check(RangeInside(list.offset, uint64_t{list.count} * 4, view.size()),
          "the translation list lies outside", "\\VarFileInfo\\Translation");
    const auto fixed = VersionFixedRecord(view);
    Check(!fixed || RangeInside(*fixed, kFixedRecordSize, view.size()),
          "the fixed record lies outside", "\\");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size > 0x10000)
        return 0;
    const auto length = static_cast<uint32_t>(size);
    std::vector<uint8_t> block(data, data + size);
    CheckEnumeration(ByteView{{block.data(), size}});
    std::vector<uint8_t> before;
    for (const std::string_view path : kPaths) {
        before = block;
        const bool inside = BlockQueryStaysInside(block.data(), length, path);
        Check(block == before, "the judge wrote", path);
        void *value = nullptr;
        unsigned value_length = 0;
        const bool found = BlockValueQuery(block.data(), length, path, &value, &value_length);
        Check(found == inside, "the judge and the query disagree", path);
        const bool wrote = block != before;
        Check(found || !wrote, "a query that found nothing wrote", path);
        if (!found)
            continue;
        const uintptr_t offset =
            reinterpret_cast<uintptr_t>(value) - reinterpret_cast<uintptr_t>(block.data());
        const uint32_t copies =
            ByteView{{block.data(), size}}.ReadOrZero<uint16_t>(kNodeLengthOffset) +
            sizeof kBlockSignature;
        Check(offset <= length || (!wrote && offset >= copies), "the value starts outside", path);
        Check(!wrote || value_length <= length - offset, "the string runs past the end", path);
    }
    return 0;
}
