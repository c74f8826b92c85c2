// qvhost EXPORT [PARAMETER_TEXT]: fills the table from --set, calls the
// export as a setup host does and prints its return value and the table.
#include <string>
#include <vector>

#include "host_table.h"
#include "options.h"
#include "output.h"

namespace qvhost {
namespace {

// The module's text as text output shows it: its bytes, or with --utf8 UTF-8.
std::string Shown(const Options &o, std::string_view text)
{
    return o.utf8 ? Utf8FromHost(text) : std::string(text);
}

// return=N, then NAME=VALUE for each variable.
std::string TextResult(const Options &o, int32_t result, const std::vector<Variable> &variables)
{
    std::string out;
    AppendLine(out, "return", std::to_string(result));
    for (const Variable &v : variables)
        AppendLine(out, Shown(o, v.name), Shown(o, v.value));
    return out;
}

// {"export": ..., "return": N, "variables": [{"name": ..., "value": ...}, ...]}
std::string JsonResult(const Options &o, int32_t result, const std::vector<Variable> &variables)
{
    std::vector<std::string> entries;
    for (const Variable &v : variables)
        entries.push_back(JsonObject({{"name", JsonString(Utf8FromHost(v.name))},
                                      {"value", JsonString(Utf8FromHost(v.value))}}));
    return JsonObject({{"export", JsonString(Utf8FromHost(o.export_name))},
                       {"return", std::to_string(result)},
                       {"variables", JsonArray(entries)}}) +
           "\n";
}

} // namespace

int RunCall(const Options &o)
{
    Result<ModuleHandle> module = LoadModule(o);
    if (const Error *error = std::get_if<Error>(&module))
        return Report(*error);
    Result<QvSetupExport> function =
        ResolveExport(std::get<ModuleHandle>(module).get(), o.export_name);
    if (const Error *error = std::get_if<Error>(&function))
        return Report(*error);
    Result<Table> table = AllocateTable(o);
    if (const Error *error = std::get_if<Error>(&table))
        return Report(*error);
    HostParamBlock block = BlockFor(std::get<Table>(table), o);
    for (std::string_view assignment : o.sets)
        if (std::optional<Error> error = StoreVariable(block, assignment))
            return Report(*error);
    int32_t result = std::get<QvSetupExport>(function)(&block);
    const std::vector<Variable> variables = Variables(block);
    Write(o.json ? JsonResult(o, result, variables) : TextResult(o, result, variables));
    fflush(stdout);
    return 0;
}

} // namespace qvhost
