// qvhost's command line: the options, the table of commands they choose
// from, and the errors that stop qvhost before it runs one. Each command is
// one function in a file of its own; a new command is a new file and a row
// in the table (options.cpp).
#ifndef QV_TOOLS_QVHOST_OPTIONS_H
#define QV_TOOLS_QVHOST_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qvhost {

struct Command;

// The command line. The texts handed on to the loader and the export are
// owned copies, so they keep their terminating NUL.
struct Options {
    const Command *command = nullptr; // never null after ParseCommandLine
    std::optional<std::string> dll;
    std::vector<std::string_view> sets; // NAME=VALUE, in the order given
    uint32_t capacity = 64;
    uint32_t name_width = 64;
    uint32_t value_width = 1024;
    bool table_options = false; // --set or a table size was given
    bool json = false;
    bool utf8 = false;
    std::string export_name;
    std::optional<std::string> parameter_text; // none when no PARAMETER_TEXT was given
    std::vector<std::string_view> files;       // with --fields or --strings, or --explain's FILE
    std::string_view field = "FileVersion";    // with --explain
    // The walk (walk.cpp), with --fields and --strings: -r, -L, -x, --all
    // and -j N (0: as many workers as the machine has cores).
    bool recursive = false;
    bool follow_links = false;
    bool one_file_system = false;
    bool all = false;
    uint32_t jobs = 0;
};

// The commands, each in its own file; the exit status is the command's.
int RunCall(const Options &o);    // call.cpp: EXPORT [PARAMETER_TEXT]
int RunFields(const Options &o);  // fields.cpp: --fields
int RunStrings(const Options &o); // strings.cpp: --strings
int RunExplain(const Options &o); // explain.cpp: --explain
int RunHelp(const Options &o);    // help.cpp: --help, -h
int RunVersion(const Options &o); // help.cpp: --version

// Why qvhost stops without running a command: one line on stderr, exit
// status 2.
struct Error {
    std::string message;
    bool usage = true; // a mistake in the command line: the line points to --help
};

template <typename T>
using Result = std::variant<T, Error>;

Error UsageError(std::string_view what);
Error UsageError(std::string_view what, std::string_view detail);

// Prints the error and gives the exit status 2.
int Report(const Error &error);

// A decimal number in 0 .. UINT32_MAX, digits only: no sign, no blanks.
std::optional<uint32_t> ParseNumber(std::string_view text);

// Options come first and end at the first other argument or at "--"; --help
// and --version end the reading where they stand.
Result<Options> ParseCommandLine(const std::vector<std::string_view> &args);

// Runs the command the options chose.
int Run(const Options &o);

} // namespace qvhost

#endif
