// qvhost: calls one export of the QVSETUP module the way a setup host does
// and prints the return value and the variable table afterwards, or prints
// every GetFileVersionEx field of some files, or every string their version
// resources carry, or why a file's field answers as it does.
//
// qvhost [--dll PATH] [--set NAME=VALUE]... [--capacity N] [--name-width N]
//        [--value-width N] [--json] [--utf8] EXPORT [PARAMETER_TEXT]
// qvhost [--dll PATH] [--json] [--utf8] --fields FILE...
// qvhost [--json] [--utf8] --strings FILE...
// qvhost [--dll PATH] [--utf8] --explain FILE [FIELD]
// qvhost --help | --version
//
// The command line and its table of commands are in options.cpp, each
// command in a file of its own (call, fields, strings, explain, help), the
// stand-in host's table in host_table.cpp and the writers in output.cpp.
#include <string_view>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "options.h"

int main(int argc, char **argv)
{
#ifdef _WIN32
    // Same bytes on every platform: no CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; i++)
        args.emplace_back(argv[i]);
    qvhost::Result<qvhost::Options> parsed = qvhost::ParseCommandLine(args);
    if (const qvhost::Error *error = std::get_if<qvhost::Error>(&parsed))
        return qvhost::Report(*error);
    return qvhost::Run(std::get<qvhost::Options>(parsed));
}
