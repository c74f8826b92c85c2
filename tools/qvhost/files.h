// The FILEs of --fields and --strings: what each gives, and the loop that
// prints them in order.
#ifndef QV_TOOLS_QVHOST_FILES_H
#define QV_TOOLS_QVHOST_FILES_H

#include <functional>
#include <string>
#include <string_view>

#include "options.h"
#include "reader/refusal.h"

namespace qvhost {

// What a FILE gives, from best to worst: version information, none, or
// nothing because it cannot be opened and read.
enum class FileStatus { ok, none, missing };

std::string_view StatusName(FileStatus status);

// Whether the file opens and reads: a folder opens on Linux, but does not
// read.
bool Readable(std::string_view path);

// Whether the reader's refusal is that the file cannot be opened and read.
bool Unreadable(qv::reader::Refusal refusal);

// Whether the reader's refusal is that the file does not start as a PE or
// NE image: it was given up after its first bytes.
bool NotAnImage(qv::reader::Refusal refusal);

// One FILE's status and its output, whole lines.
struct FileOutput {
    FileStatus status = FileStatus::missing;
    std::string text;
    bool image = true; // false: the file does not start as a PE or NE image
};

// What a command prints for the file at `path`. A walk gives the system's
// `reason` for a file or folder it cannot read, which the output then
// carries (reason=); else it is empty.
using FileCommand = std::function<FileOutput(std::string_view path, std::string_view reason)>;

// Prints what `command` gives for each FILE, in order, or with -r walks
// them (walk.h). The exit status is that of the worst printed: 0 when every
// FILE has version information, 1 when one has none, 3 when one is missing.
int PrintFiles(const Options &o, const FileCommand &command);

// The exit status for the worst status printed.
int StatusExit(FileStatus worst);

} // namespace qvhost

#endif
