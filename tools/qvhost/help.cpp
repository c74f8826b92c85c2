// qvhost --help and --version.
#include <string>
#include <string_view>

#include "fileinfo/version_fields.h"
#include "options.h"
#include "output.h"
#include "qvsetup.h"

namespace qvhost {
namespace {

constexpr char kHelpHead[] =
    "usage: qvhost [OPTION]... EXPORT [PARAMETER_TEXT]\n"
    "       qvhost [--dll PATH] [--json] [--utf8] --fields FILE...\n"
    "       qvhost [--json] [--utf8] --strings FILE...\n"
    "       qvhost [--json] [--utf8] (--fields | --strings) -r [-L] [-x] [--all]\n"
    "              [-j N] FILE...\n"
    "       qvhost [--dll PATH] [--utf8] --explain FILE [FIELD]\n"
    "\n"
    "Loads the QVSETUP module, calls EXPORT the way a setup host does and prints\n"
    "return=N and then each variable of the table as NAME=VALUE.\n"
    "\n"
    "With --fields, answers GetFileVersionEx's fields for each FILE from one read\n"
    "of its version block, by the export's own rule (with --dll, asks that\n"
    "module's export, one call a field), and prints file=FILE, status=ok, none\n"
    "(every field is empty) or missing (the file cannot be opened and read),\n"
    "then the fourteen fields as NAME=VALUE:\n";
static_assert(qv::fileinfo::kExFields.size() == 14, "the help counts the fields");

// After the list of fields.
constexpr char kHelpTail[] =
    "\n"
    "With --strings, reads the version block of each FILE as the exports do and\n"
    "prints file=FILE, status=ok, none (nothing found) or missing, the fixed\n"
    "record as fixed.NAME=VALUE (FileVersion ProductVersion FileFlagsMask\n"
    "FileFlags FileOS FileType FileSubtype), Translation=LIST, then each string\n"
    "table in file order as table=TRANSLATION followed by every key in it, custom\n"
    "keys too, as an indented KEY=VALUE. Values are the file's own text in UTF-8:\n"
    "from UTF-16 (a surrogate without its pair becomes U+FFFD), or from code page\n"
    "1252 in a 16-bit (NE) file. The module is not loaded: on Windows the block\n"
    "comes from the system's GetFileVersionInfoA.\n"
    "\n"
    "With -r (--recursive), walks each FILE that is a folder: depth first, each\n"
    "folder's names sorted by byte, its regular files read by -j workers and\n"
    "printed in that order. Only PE and NE images are printed, and any file or\n"
    "folder that cannot be read (status=missing, then reason=, the system's\n"
    "reason); --all prints the other files too. Symbolic links are followed only\n"
    "with -L, and never into a folder already on the current path; -x does not\n"
    "enter folders on another file system. A FILE that is not a folder is\n"
    "printed whatever it is, as without -r (and when missing with reason=). On\n"
    "stderr: progress when it is a terminal, and at the end the PE/NE files\n"
    "read, the files skipped (the other files, files not regular, links not\n"
    "followed, loops) and those that could not be read. Not in qvhost.exe.\n"
    "\n"
    "With --explain, prints one line per step of how GetFileVersion and\n"
    "GetFileVersionEx answer FIELD (default FileVersion) of FILE: whether it\n"
    "opened and what it is, where its version resource is (or the reason=\n"
    "there is none), its translations, string tables and fixed record, each\n"
    "table each rule asks in order and what it found, the answer and where it\n"
    "came from, or why it is empty, with a hint where there is one, and last\n"
    "the module's own answer, flagged MISMATCH when it differs (exit status 1).\n"
    "The steps are the project's own code, linked into qvhost. On Linux that\n"
    "is the whole of it. In qvhost.exe the file is vetted by the same reader,\n"
    "but the block comes from the system's version functions, as in the DLL:\n"
    "answers and values can then differ from the Linux build's (the system's\n"
    "code page, its own reading of the resource), and a block the system\n"
    "refuses after the reader vetted it gives reason=system_refused.\n"
    "\n"
    "Options:\n"
    "  --dll PATH        the module to load (default: the one beside qvhost)\n"
    "  --set NAME=VALUE  store VALUE under %NAME% before the call (repeatable)\n"
    "  --capacity N      entries the variable table can hold (default 64)\n"
    "  --name-width N    bytes per name slot (default 64)\n"
    "  --value-width N   bytes per value slot (default 1024)\n"
    "  --json            print the result as one JSON object in UTF-8 (one line\n"
    "                    per FILE with --fields and --strings)\n"
    "  --utf8            print text in UTF-8 instead of the module's bytes\n"
    "  --fields          print every GetFileVersionEx field of each FILE\n"
    "  --strings         print every string table and string of each FILE\n"
    "  --explain         explain the answers for one FILE and FIELD\n"
    "  -r, --recursive   walk each FILE that is a folder (--fields, --strings)\n"
    "  -L                in the walk, follow symbolic links\n"
    "  -x                in the walk, stay on each FILE's file system\n"
    "  --all             in the walk, print files that are not PE or NE images too\n"
    "  -j N              in the walk, N workers (default: one a core; at most 256)\n"
    "  -h, --help        print this help and exit\n"
    "  --version         print qvhost's version and exit\n"
    "\n"
    "Exports (EXPORT is the name or #ORDINAL):\n"
    "  #1 GetFileVersion          \"path[, field]\"   writes FileVersion\n"
    "  #2 NormalizeMSIEVersion    no parameters     rewrites FILEVERSION as a.b.0.c\n"
    "  #3 CompareVersions         \"first, second\"   writes VersionDelta\n"
    "  #4 IsQarvellClientRunning  no parameters     returns 1 when the client runs\n"
    "  #5 GetFileVersionEx        \"path[, field]\"   writes FileVersion\n"
    "\n"
    "The module writes code page 1252 on Linux and the system's ANSI code page\n"
    "on Windows. Text output keeps those bytes; --json and --utf8 convert them\n"
    "to UTF-8 from that code page.\n"
    "\n"
    "Exit status: 0 after a call, 2 on bad usage or when the module or export\n"
    "cannot be found. With --fields and --strings: 0 when every FILE has version\n"
    "information, 1 when one has none, 3 when one is missing (3 before 1); with\n"
    "-r, of the files printed.\n";

// The help's lines fit 80 columns.
constexpr size_t kHelpWidth = 79;

// The help: the fields --fields prints, between kHelpHead and kHelpTail,
// as many to a line as fit.
std::string HelpText()
{
    std::string text = kHelpHead;
    std::string line;
    for (std::string_view field : qv::fileinfo::kExFields) {
        if (!line.empty() && line.size() + 1 + field.size() > kHelpWidth) {
            text.append(line).append("\n");
            line.clear();
        }
        line.append(line.empty() ? "" : " ").append(field);
    }
    return text.append(line).append(".\n").append(kHelpTail);
}

} // namespace

int RunHelp(const Options &)
{
    Write(HelpText());
    return 0;
}

int RunVersion(const Options &)
{
    Write("qvhost " QVSETUP_VERSION_STRING "\n");
    return 0;
}

} // namespace qvhost
