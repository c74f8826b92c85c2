// qvhost --explain, its first steps: the file as the reader finds it
// (reader/version_file.h), and the checked block the version operations
// read from it, as the exports read it (on Windows, the system's).
#include <cstdint>
#include <optional>
#include <string>

#include "explain.h"
#include "output.h"
#include "reader/pe_format.h"
#include "reader/resource.h"
#include "reader/version_block.h"
#include "reader/version_file.h"

namespace qvhost {
namespace {

using qv::fileinfo::CheckedBlock;
using qv::reader::ByteView;
using qv::reader::Refusal;

std::string Format(const qv::reader::VersionLocation &location)
{
    if (location.sixteen_bit)
        return "NE (16-bit)";
    if (location.magic == qv::reader::pe::kOptionalHeaderMagic32)
        return "PE32";
    if (location.magic == qv::reader::pe::kOptionalHeaderMagic64)
        return "PE32+";
    if (location.magic != 0)
        return "PE, optional header magic 0x" + Hex(location.magic, 4);
    return "not identified";
}

} // namespace

// open, format and resource: the reader's steps, which on Windows decide
// whether the system's functions are asked at all.
void ExplainFile(const ExplainRequest &r)
{
    const std::string path(r.file);
    qv::reader::VersionFileHandle file;
    const Refusal refusal = qv::reader::OpenVersionFile(path.c_str(), file);
    if (!file || refusal == Refusal::not_opened || refusal == Refusal::not_read) {
        Line("open", "not opened: " + Reason(refusal));
        return;
    }
    Line("open", "opened");
    const qv::reader::VersionLocation &location = qv::reader::VersionFileLocation(*file);
    Line("format", Format(location));
    if (refusal != Refusal::none) {
        Line("resource", "none: " + Reason(refusal));
        return;
    }
    std::string where = location.in_image ? "at RVA 0x" + Hex(location.start, 1) +
                                                " of the image as the loader maps it"
                                          : "at file offset 0x" + Hex(location.start, 1);
    if (!location.sixteen_bit)
        where += ", language " + Hex(location.language, 4);
    Line("resource", where + ", " + std::to_string(location.size) + " bytes");
    const Refusal vet = qv::reader::VetVersionFile(path.c_str());
    Line("vetted", vet == Refusal::none ? "the block reads soundly" : "refused: " + Reason(vet));
}

namespace {

// A key in ASCII, '?' for other characters.
std::string KeyText(ByteView b, qv::reader::BlockText key, bool wide)
{
    std::string text;
    for (uint32_t i = 0; i < key.count; i++) {
        const uint16_t unit = wide ? b.ReadOrZero<uint16_t>(key.offset + uint64_t{2} * i)
                                   : b.ReadOrZero<uint8_t>(key.offset + uint64_t{i});
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

// The string tables in file order; those of a second StringFileInfo, which
// no query reaches, are marked so.
std::string StringTables(ByteView b)
{
    using qv::reader::VersionEntry;
    std::string tables;
    auto cursor = qv::reader::StartVersionStrings(b);
    for (auto entry = qv::reader::NextVersionString(cursor); entry != VersionEntry::end;
         entry = qv::reader::NextVersionString(cursor)) {
        if (entry != VersionEntry::table)
            continue;
        tables.append(tables.empty() ? "" : " ").append(KeyText(b, cursor.key, cursor.wide));
        if (cursor.info_count > 1)
            tables += " (in a later StringFileInfo: never asked)";
    }
    return tables.empty() ? "none" : tables;
}

} // namespace

// block, translations, tables and fixed record: what the rules read.
void ExplainBlock(const std::optional<CheckedBlock> &block, Refusal refusal)
{
#ifdef _WIN32
    constexpr std::string_view kFrom = " from the system's version functions";
#else
    constexpr std::string_view kFrom = " from the project's reader";
#endif
    if (!block) {
        Line("block", "none: " + Reason(refusal));
        return;
    }
    Line("block", std::to_string(block->view.size() - 1) + " bytes" + std::string(kFrom));
    std::string list;
    if (const auto translations = qv::fileinfo::ReadTranslations(*block))
        for (std::size_t i = 0; i < translations->count; i++)
            list.append(i ? " " : "").append(Hex(translations->entries[i], 8));
    Line("translations", list.empty() ? "none" : list);
    Line("tables", StringTables(block->view));
    using qv::fileinfo::FixedVersion;
    const auto file = qv::fileinfo::FixedVersionText(*block, FixedVersion::file);
    const auto product = qv::fileinfo::FixedVersionText(*block, FixedVersion::product);
    Line("fixed record",
         file ? std::string("file version ") + file.get() + ", product version " + product.get()
              : "none: " + Reason(Refusal::no_fixed_record));
}

} // namespace qvhost
