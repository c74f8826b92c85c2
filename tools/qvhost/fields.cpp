// qvhost --fields FILE...: every GetFileVersionEx field of each FILE, all
// answered from one read of its version block by the rule the export
// follows (fileinfo/version_field.h), or with --dll asked of that module's
// export, field by field.
#include <string>
#include <vector>

#include "fileinfo/checked_block.h"
#include "fileinfo/version_field.h"
#include "fileinfo/version_fields.h"
#include "files.h"
#include "host_table.h"
#include "options.h"
#include "output.h"

namespace qvhost {
namespace {

// The fields --fields prints, in this order.
constexpr auto &kFields = qv::fileinfo::kExFields;

struct FileFields {
    FileStatus status = FileStatus::missing;
    std::vector<std::string> values; // one per field of kFields
    bool image = true;
};

// Reads the file's block once and answers each field from it, as the
// export would from a block of its own. None when every answer is empty.
FileFields ReadFields(std::string_view file)
{
    FileFields fields;
    fields.values.resize(std::size(kFields));
    qv::reader::Refusal refusal = qv::reader::Refusal::none;
    const auto block = qv::fileinfo::ReadCheckedBlock(file, refusal);
    fields.status = block || !Unreadable(refusal) ? FileStatus::none : FileStatus::missing;
    fields.image = !NotAnImage(refusal);
    for (size_t i = 0; block && i < std::size(kFields); i++) {
        const qv::fileinfo::FieldAnswer answer =
            qv::fileinfo::AnswerBlockFieldEx(*block, kFields[i]);
        fields.values[i] = answer.text ? answer.text.get() : "";
        if (!fields.values[i].empty())
            fields.status = FileStatus::ok;
    }
    return fields;
}

// With --dll: asks that module's export for each field of the file, one
// call (and one read of the file) a field. No question for a file that
// does not read.
FileFields AskFields(QvSetupExport function, std::string_view file)
{
    FileFields fields;
    fields.values.resize(std::size(kFields));
    if (!Readable(file))
        return fields;
    fields.status = FileStatus::none;
    for (size_t i = 0; i < std::size(kFields); i++) {
        fields.values[i] =
            AskFileVersion(function, std::string(file).append(", ").append(kFields[i]));
        if (!fields.values[i].empty())
            fields.status = FileStatus::ok;
    }
    return fields;
}

// file=FILE, status=..., then NAME=VALUE for each field; or the same as one
// JSON object on one line. Built in one string, each value converted into
// a buffer kept across the fields.
std::string FieldsText(const Options &o, std::string_view file, const FileFields &fields,
                       std::string_view reason)
{
    const std::string_view status = StatusName(fields.status);
    std::string out;
    out.reserve(512 + 2 * file.size());
    std::string value;
    if (o.json) {
        out += "{\"file\": ";
        AppendJsonString(out, Utf8FromArgument(file));
        out += ", \"status\": ";
        AppendJsonString(out, status);
        if (!reason.empty()) {
            out += ", \"reason\": ";
            AppendJsonString(out, reason);
        }
        for (size_t i = 0; i < std::size(kFields); i++) {
            out += ", ";
            AppendJsonString(out, kFields[i]);
            out += ": ";
            value.clear();
            AppendUtf8FromHost(value, fields.values[i]);
            AppendJsonString(out, value);
        }
        out += "}\n";
        return out;
    }
    AppendLine(out, "file", o.utf8 ? Utf8FromArgument(file) : std::string(file));
    AppendLine(out, "status", status);
    if (!reason.empty())
        AppendLine(out, "reason", reason);
    for (size_t i = 0; i < std::size(kFields); i++) {
        value.clear();
        if (o.utf8)
            AppendUtf8FromHost(value, fields.values[i]);
        AppendLine(out, kFields[i], o.utf8 ? std::string_view(value) : fields.values[i]);
    }
    return out;
}

} // namespace

int RunFields(const Options &o)
{
    if (!o.dll)
        return PrintFiles(o, [&](std::string_view file, std::string_view reason) {
            const FileFields fields = ReadFields(file);
            return FileOutput{fields.status, FieldsText(o, file, fields, reason), fields.image};
        });
    Result<ModuleHandle> module = LoadModule(o);
    if (const Error *error = std::get_if<Error>(&module))
        return Report(*error);
    Result<QvSetupExport> function =
        ResolveExport(std::get<ModuleHandle>(module).get(), "GetFileVersionEx");
    if (const Error *error = std::get_if<Error>(&function))
        return Report(*error);
    return PrintFiles(o, [&](std::string_view file, std::string_view reason) {
        const FileFields fields = AskFields(std::get<QvSetupExport>(function), file);
        return FileOutput{fields.status, FieldsText(o, file, fields, reason)};
    });
}

} // namespace qvhost
