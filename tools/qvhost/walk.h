// qvhost -r: --fields and --strings over folders. The walk lists each
// folder's entries sorted by name (byte order), depth first, and hands the
// regular files to -j workers; the output comes in the listing's order
// whatever the number of workers, as soon as each file's turn comes, with
// at most a fixed window of files listed ahead of the output.
#ifndef QV_TOOLS_QVHOST_WALK_H
#define QV_TOOLS_QVHOST_WALK_H

#include "files.h"
#include "options.h"

namespace qvhost {

// Runs `command` on the files under each FILE (a FILE that is not a folder
// is read as given) and prints the output of each PE or NE image, of each
// file or folder that cannot be read (with the system's reason), and with
// --all of the other files. On stderr, progress when it is a terminal, and
// the counts at the end. The exit status is PrintFiles' over what was
// printed.
int WalkFiles(const Options &o, const FileCommand &command);

} // namespace qvhost

#endif
