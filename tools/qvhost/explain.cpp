// qvhost --explain. Every step is the product's own: the reader opens and
// locates (reader/version_file.h), the checked block is read through the
// version operations as the exports read it (on Windows, the system's),
// and the tables are asked in the order the rule itself gives
// (fileinfo/version_field.h); the answer printed is the rule's, and the
// module's export is asked too, so that a mismatch shows.
#include "explain.h"
#include "strings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fileinfo/checked_block.h"
#include "fileinfo/version_field.h"
#include "fileinfo/version_fields.h"
#include "reader/pe_format.h"
#include "reader/resource.h"
#include "reader/version_block.h"
#include "reader/version_file.h"
#include "text/text.h"

namespace qvhost {
namespace {

using qv::fileinfo::CheckedBlock;
using qv::fileinfo::FieldAnswer;
using qv::fileinfo::Found;
using qv::fileinfo::Source;
using qv::reader::ByteView;
using qv::reader::Refusal;

// One line of output: "STEP: TEXT".
void Line(std::string_view step, std::string_view text)
{
    std::string line(step);
    line.append(": ").append(text).append("\n");
    fwrite(line.data(), 1, line.size(), stdout);
}

std::string Reason(Refusal refusal)
{
    return std::string("reason=")
        .append(qv::reader::RefusalName(refusal))
        .append(" (")
        .append(qv::reader::RefusalText(refusal))
        .append(")");
}

// ---- The file, as the reader finds it ----

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

// ---- The block's tables, as the reader enumerates them ----

bool SameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (qv::text::FoldAscii(a[i]) != qv::text::FoldAscii(b[i]))
            return false;
    return true;
}

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

// ---- The rules ----

struct Finding {
    std::string text;
    bool ends = false; // the rule stops here
};

// What the table `table` gave for the field, and why when nothing.
Finding AskTable(const ExplainRequest &r, const CheckedBlock &block, uint32_t table)
{
    qv::fileinfo::StringPathBuffer path;
    qv::fileinfo::StringPath(table, r.field, path);
    const qv::fileinfo::StringValue value = qv::fileinfo::QueryString(block, path.data());
    if (value.found == Found::inside)
        return {value.text.empty() ? "an empty string" : "\"" + r.shown(value.text) + "\"",
                !value.text.empty()};
    if (value.found == Found::outside)
        return {"a value the rule refuses, which ends the search: " + Reason(value.refusal), true};
    // The version operations found nothing: the reader's own walk says why.
    const auto *bytes = block.view.bytes.data();
    const auto size = static_cast<uint32_t>(block.view.size());
    const std::string_view table_path(path.data(), std::strlen("\\StringFileInfo\\") + 8);
    const Refusal why = qv::reader::BlockQueryRefusal(bytes, size, path.data());
    if (qv::reader::BlockQueryRefusal(bytes, size, table_path) == Refusal::no_such_value)
        return {"no such table"};
    if (why == Refusal::no_such_value)
        return {"the table has no " + std::string(r.field)};
    return {"nothing: " + Reason(why == Refusal::none ? value.refusal : why)};
}

std::string RuleStep(const ExplainRequest &r, bool ex)
{
    return std::string(ex ? "GetFileVersionEx(" : "GetFileVersion(").append(r.field).append(")");
}

// Each table the rule asks, in its own order, until one ends the search.
void AskTables(const ExplainRequest &r, bool ex, const CheckedBlock &block)
{
    const std::string step = RuleStep(r, ex);
    if (!ex) {
        const Finding finding = AskTable(r, block, qv::fileinfo::kEnglish1252);
        Line(step, "asks " + Hex(qv::fileinfo::kEnglish1252, 8) + ": " + finding.text);
        return;
    }
    const auto list = qv::fileinfo::ReadTranslations(block);
    if (!list)
        return;
    const std::span<const uint32_t> listed(list->entries.get(), list->count);
    for (std::size_t i = 0; i < qv::fileinfo::TableSteps(listed.size()); i++) {
        const auto table = qv::fileinfo::TableAtStep(listed, i);
        const bool is_listed = i < listed.size();
        const std::string origin = is_listed ? " (listed)" : " (default)";
        if (!table) {
            const uint32_t again =
                is_listed ? listed[i] : qv::fileinfo::kDefaultTranslations[i - listed.size()];
            Line(step, "passes over " + Hex(again, 8) + origin + ": asked before");
            continue;
        }
        const Finding finding = AskTable(r, block, *table);
        Line(step, "asks " + Hex(*table, 8) + origin + ": " + finding.text);
        if (finding.ends)
            return;
    }
}

} // namespace

namespace {

// The module's answer: the FileVersion variable the export writes.
std::string AskModule(QvSetupExport function, const ExplainRequest &r)
{
    constexpr uint32_t kNameWidth = 64, kValueWidth = 65536;
    const std::string parameters = std::string(r.file).append(", ").append(r.field);
    std::vector<char> name(kNameWidth), value(kValueWidth);
    HostParamBlock block{};
    block.NameSlots = name.data();
    block.ValueSlots = value.data();
    block.VariableCapacity = 1;
    block.NameWidth = kNameWidth;
    block.ValueWidth = kValueWidth;
    block.ParameterText = parameters.c_str();
    function(&block);
    if (block.VariableCount == 0)
        return {};
    return std::string(value.data(), strnlen(value.data(), value.size()));
}

std::string AnswerText(const ExplainRequest &r, const FieldAnswer &answer, std::string_view given)
{
    const std::string text = "\"" + r.shown(given) + "\"";
    switch (answer.source) {
    case Source::table:
        return text + " from table " + Hex(answer.translation, 8);
    case Source::file_version_record:
        return text + " from the fixed record's file version";
    case Source::product_version_record:
        return text + " from the fixed record's product version";
    case Source::none:
        break;
    }
    return text;
}

// A hint for an empty answer, where there is one.
std::string Hint(const ExplainRequest &r, bool ex, const FieldAnswer &answer,
                 const FieldAnswer &other, const std::optional<CheckedBlock> &block)
{
    const bool other_has = other.text && *other.text.get() != '\0';
    if (answer.refusal == Refusal::unknown_field)
        return other.refusal != Refusal::unknown_field
                   ? std::string("only ") + (ex ? "GetFileVersion" : "GetFileVersionEx") +
                         " knows this field"
                   : "neither rule knows this field";
    if (!ex && other_has && other.source == Source::table && block) {
        std::string table_path = "\\StringFileInfo\\" + Hex(qv::fileinfo::kEnglish1252, 8);
        const bool has_table =
            qv::reader::BlockQueryRefusal(block->view.bytes.data(),
                                          static_cast<uint32_t>(block->view.size()),
                                          table_path) != Refusal::no_such_value;
        return (has_table ? "the 040904E4 table lacks it" : "this file has no 040904E4 table") +
               std::string(": GetFileVersionEx reads ") + Hex(other.translation, 8);
    }
    if (other_has)
        return std::string(ex ? "GetFileVersion" : "GetFileVersionEx") + " answers \"" +
               r.shown(other.text.get()) + "\"";
    if (answer.refusal == Refusal::not_opened)
        return "a relative path is taken from the host's working folder";
    return {};
}

// The rule's steps, its answer, and the module's. False on a mismatch.
bool ExplainRule(const ExplainRequest &r, bool ex, const std::optional<CheckedBlock> &block)
{
    const std::string step = RuleStep(r, ex);
    const FieldAnswer answer = ex ? qv::fileinfo::AnswerVersionFieldEx(r.file, r.field)
                                  : qv::fileinfo::AnswerVersionField(r.file, r.field);
    const bool number = ex && (SameKey(r.field, qv::fileinfo::kFileVersionNumber) ||
                               SameKey(r.field, qv::fileinfo::kProductVersionNumber));
    if (block && answer.refusal != Refusal::unknown_field && !number)
        AskTables(r, ex, *block);
    const std::string given = answer.text ? answer.text.get() : "";
    if (!given.empty() || answer.source == Source::table)
        Line(step, "answer " + AnswerText(r, answer, given));
    else
        Line(step, "empty: " + Reason(answer.refusal));
    const FieldAnswer other = ex ? qv::fileinfo::AnswerVersionField(r.file, r.field)
                                 : qv::fileinfo::AnswerVersionFieldEx(r.file, r.field);
    if (given.empty())
        if (const std::string hint = Hint(r, ex, answer, other, block); !hint.empty())
            Line(step, "hint: " + hint);
    const std::string module = AskModule(ex ? r.get_version_ex : r.get_version, r);
    const bool same = module == given;
    Line(step, "module \"" + r.shown(module) + "\"" + (same ? " (the same)" : " MISMATCH"));
    return same;
}

} // namespace

int RunExplain(const ExplainRequest &r)
{
    Line("file", r.file);
    Line("field", r.field);
    ExplainFile(r);
    Refusal refusal = Refusal::none;
    const auto block = qv::fileinfo::ReadCheckedBlock(r.file, refusal);
    ExplainBlock(block, refusal);
    const bool plain = ExplainRule(r, false, block);
    const bool ex = ExplainRule(r, true, block);
    fflush(stdout);
    return plain && ex ? 0 : 1;
}

} // namespace qvhost
