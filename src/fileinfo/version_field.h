// Reading one field of a file's version resource through the version
// operations (fileinfo/version_api.h).
#ifndef QV_FILEINFO_VERSION_FIELD_H
#define QV_FILEINFO_VERSION_FIELD_H

#include <string_view>

#include "memory/heap.h"

namespace qv::fileinfo {

// The text of `field` (one of the eight names of the version field table,
// any ASCII case) from the "040904E4" string table of the file at `path`;
// for "FileVersion", the fixed record's product version when that string
// is missing or empty. A terminated heap string, or empty.
memory::HeapPtr<char> QueryVersionField(std::string_view path, std::string_view field);

} // namespace qv::fileinfo

#endif
