#include "options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <span>

#include "host/parameters.h"

namespace qvhost {

constexpr size_t kMaxSets = 256;
constexpr uint32_t kMaxJobs = 256;
constexpr int kUsageStatus = 2;

using Arguments = std::span<const std::string_view>;

// A command: the option that chooses it, what it does, and how it takes the
// arguments after the options (none: it takes none, and the reading ends
// where it stands).
struct Command {
    std::string_view option;
    int (*run)(const Options &);
    Result<Options> (*take)(Options o, Arguments args);
    bool walks = false; // takes -r and the walk's options
};

namespace {

// Whether one of the walk's options was given.
bool WalkOptions(const Options &o)
{
    return o.recursive || o.follow_links || o.one_file_system || o.all || o.jobs != 0;
}

// The walk's options: -r, and the others only with it.
std::optional<Error> CheckWalk(const Options &o)
{
    if (!o.recursive && WalkOptions(o))
        return UsageError("-L, -x, --all and -j go with -r");
    if (o.jobs > kMaxJobs)
        return UsageError("-j takes 1 to " + std::to_string(kMaxJobs) + " workers");
#ifdef _WIN32
    if (o.recursive)
        return UsageError("qvhost.exe does not walk folders (-r): name the files, or use the "
                          "Linux qvhost");
#endif
    if (o.recursive && o.dll)
        return UsageError("-r reads files with qvhost's own reader and takes no --dll");
    return std::nullopt;
}

// The FILEs after --fields or --strings.
Result<Options> TakeFiles(Options o, Arguments files)
{
    if (o.table_options)
        return UsageError("--fields, --strings and --explain take no --set and no table size");
    if (std::optional<Error> error = CheckWalk(o))
        return *error;
    if (files.empty())
        return UsageError("no FILE given");
    o.files.assign(files.begin(), files.end());
    return o;
}

// The same, each FILE reaching the export as the first item of "FILE,
// FIELD": one with a comma or a blank at either end cannot. (Files a walk
// finds go to the reader only, and may have them.)
Result<Options> TakeExportFiles(Options o, Arguments files)
{
    Result<Options> taken = TakeFiles(std::move(o), files);
    if (Options *options = std::get_if<Options>(&taken))
        for (std::string_view file : options->files)
            if (file.find(',') != std::string_view::npos || qv::host::TrimBlanks(file) != file)
                return UsageError("the export cannot take a FILE with a comma or an outer blank",
                                  file);
    return taken;
}

// --explain's FILE and FIELD: as --fields' FILE, and no JSON.
Result<Options> TakeExplain(Options o, Arguments args)
{
    if (o.json)
        return UsageError("--explain prints text only");
    if (args.size() > 2)
        return UsageError("unexpected argument", args[2]);
    if (args.size() == 2)
        o.field = args[1];
    return TakeExportFiles(std::move(o), args.first(std::min<std::size_t>(args.size(), 1)));
}

// EXPORT [PARAMETER_TEXT].
Result<Options> TakeCall(Options o, Arguments args)
{
    if (args.empty())
        return UsageError("no EXPORT given");
    o.export_name = args[0];
    if (args.size() > 1)
        o.parameter_text = std::string(args[1]);
    if (args.size() > 2)
        return UsageError("unexpected argument", args[2]);
    return o;
}

// The commands; the first is the one when no option chooses another.
constexpr Command kCommands[] = {
    {"", RunCall, TakeCall},
    {"--fields", RunFields, TakeExportFiles, true},
    {"--strings", RunStrings, TakeFiles, true},
    {"--explain", RunExplain, TakeExplain},
    {"--help", RunHelp, nullptr},
    {"-h", RunHelp, nullptr},
    {"--version", RunVersion, nullptr},
};

// The options that are on or off.
struct FlagOption {
    std::string_view name;
    bool Options::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--json", &Options::json},     {"--utf8", &Options::utf8},
    {"-r", &Options::recursive},    {"--recursive", &Options::recursive},
    {"-L", &Options::follow_links}, {"-x", &Options::one_file_system},
    {"--all", &Options::all},
};

// The options that take a number, and where each one goes.
struct NumberOption {
    std::string_view name;
    uint32_t Options::*field;
};

constexpr NumberOption kNumberOptions[] = {
    {"--capacity", &Options::capacity},
    {"--name-width", &Options::name_width},
    {"--value-width", &Options::value_width},
    {"-j", &Options::jobs},
};

template <typename Table>
auto Find(const Table &table, std::string_view name) -> decltype(&table[0])
{
    for (const auto &row : table)
        if (row.name == name)
            return &row;
    return nullptr;
}

const Command *FindCommand(std::string_view option)
{
    for (const Command &command : kCommands)
        if (!command.option.empty() && command.option == option)
            return &command;
    return nullptr;
}

bool TakesValue(std::string_view option)
{
    return option == "--dll" || option == "--set" || Find(kNumberOptions, option) != nullptr;
}

// Takes the value of an option that has one.
std::optional<Error> SetOption(Options &o, std::string_view option, std::string_view value)
{
    o.table_options = o.table_options || (option != "--dll" && option != "-j");
    if (option == "--dll") {
        o.dll = std::string(value);
    } else if (option == "--set") {
        if (value.find('=') == std::string_view::npos)
            return UsageError("--set takes NAME=VALUE", value);
        if (o.sets.size() == kMaxSets)
            return UsageError("too many --set options");
        o.sets.push_back(value);
    } else if (const NumberOption *n = Find(kNumberOptions, option)) {
        std::optional<uint32_t> number = ParseNumber(value);
        if (!number)
            return UsageError(std::string(option) + " is not a number", value);
        if (n->field == &Options::jobs && *number == 0)
            return UsageError("-j takes 1 to " + std::to_string(kMaxJobs) + " workers");
        o.*n->field = *number;
    }
    return std::nullopt;
}

// Long options, and the short ones qvhost has: any other argument that
// starts with "-" is a FILE or an EXPORT.
bool IsOption(std::string_view arg)
{
    constexpr std::string_view kShort[] = {"-h", "-r", "-L", "-x", "-j"};
    return arg.starts_with("--") || std::ranges::find(kShort, arg) != std::end(kShort);
}

} // namespace

Error UsageError(std::string_view what)
{
    return {std::string(what)};
}

Error UsageError(std::string_view what, std::string_view detail)
{
    return {std::string(what).append(": ").append(detail)};
}

int Report(const Error &error)
{
    std::string line = "qvhost: " + error.message;
    line += error.usage ? " (see qvhost --help)\n" : "\n";
    fwrite(line.data(), 1, line.size(), stderr);
    return kUsageStatus;
}

std::optional<uint32_t> ParseNumber(std::string_view text)
{
    uint32_t value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

Result<Options> ParseCommandLine(const std::vector<std::string_view> &args)
{
    Options o;
    o.command = &kCommands[0];
    size_t i = 0;
    for (; i < args.size() && IsOption(args[i]); i++) {
        std::string_view option = args[i];
        if (option == "--") {
            i++;
            break;
        }
        if (const Command *command = FindCommand(option)) {
            o.command = command;
            if (command->take == nullptr)
                return o;
            continue;
        }
        if (const FlagOption *flag = Find(kFlagOptions, option)) {
            o.*flag->field = true;
            continue;
        }
        if (!TakesValue(option))
            return UsageError("unknown option", option);
        if (i + 1 >= args.size())
            return UsageError("option needs a value", option);
        if (std::optional<Error> error = SetOption(o, option, args[++i]))
            return *error;
    }
    const Command *command = o.command;
    if (!command->walks && WalkOptions(o))
        return UsageError("-r, -L, -x, --all and -j go with --fields and --strings");
    return command->take(std::move(o), Arguments(args).subspan(i));
}

int Run(const Options &o)
{
    return o.command->run(o);
}

} // namespace qvhost
