// qvhost --explain. Every step is the product's own: the reader opens and
// locates (reader/version_file.h), the checked block is read through the
// version operations as the exports read it (on Windows, the system's),
// and the tables are asked in the order the rule itself gives
// (fileinfo/version_field.h); the answer printed is the rule's, and the
// module's export is asked too, so that a mismatch shows.
#include "explain.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "fileinfo/checked_block.h"
#include "fileinfo/version_field.h"
#include "fileinfo/version_fields.h"
#include "host_table.h"
#include "options.h"
#include "output.h"
#include "reader/version_block.h"
#include "text/text.h"

namespace qvhost {

using qv::fileinfo::CheckedBlock;
using qv::fileinfo::FieldAnswer;
using qv::fileinfo::Found;
using qv::fileinfo::Source;
using qv::reader::Refusal;

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

namespace {

bool SameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (qv::text::FoldAscii(a[i]) != qv::text::FoldAscii(b[i]))
            return false;
    return true;
}

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
    const std::string module = AskFileVersion(ex ? r.get_version_ex : r.get_version,
                                              std::string(r.file).append(", ").append(r.field));
    const bool same = module == given;
    Line(step, "module \"" + r.shown(module) + "\"" + (same ? " (the same)" : " MISMATCH"));
    return same;
}

std::string ShownBytes(std::string_view text)
{
    return std::string(text);
}

// Prints the steps; 0 when both answers equal the module's, 1 when one
// does not.
int Explain(const ExplainRequest &r)
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

} // namespace

// FILE's FIELD, beside the module's two exports.
int RunExplain(const Options &o)
{
    Result<ModuleHandle> module = LoadModule(o);
    if (const Error *error = std::get_if<Error>(&module))
        return Report(*error);
    LoadedModule *loaded = std::get<ModuleHandle>(module).get();
    Result<QvSetupExport> plain = ResolveExport(loaded, "GetFileVersion");
    Result<QvSetupExport> ex = ResolveExport(loaded, "GetFileVersionEx");
    for (const Result<QvSetupExport> *function : {&plain, &ex})
        if (const Error *error = std::get_if<Error>(function))
            return Report(*error);
    return Explain({o.files.front(), o.field, std::get<QvSetupExport>(plain),
                    std::get<QvSetupExport>(ex), o.utf8 ? Utf8FromHost : ShownBytes});
}

} // namespace qvhost
