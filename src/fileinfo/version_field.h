// Reading one field of a file's version resource through the version
// operations (fileinfo/version_api.h).
#ifndef QV_FILEINFO_VERSION_FIELD_H
#define QV_FILEINFO_VERSION_FIELD_H

#include <string_view>

#include "memory/heap.h"

namespace qv::fileinfo {

// The text of `field` (one of kVersionFields, fileinfo/version_fields.h,
// in any ASCII case) from the "040904E4" string table of the file at `path`;
// for "FileVersion", the fixed record's product version when that string
// is missing or its length is 0 (a string holding only its terminator is
// there, and gives ""). A terminated heap string, or empty.
memory::HeapPtr<char> QueryVersionField(std::string_view path, std::string_view field);

// The text of `field` as the file's own string tables give it: one of
// the twelve kStringFields, from the first table that has it not empty, the
// tables tried in the order of the file's translation list and then
// "040904B0", "040904E4" and "04090000"; or "FileVersionNumber" and
// "ProductVersionNumber", "a.b.c.d" from the fixed record. "FileVersion"
// falls back to FileVersionNumber. A terminated heap string, or empty.
memory::HeapPtr<char> QueryVersionFieldEx(std::string_view path, std::string_view field);

} // namespace qv::fileinfo

#endif
