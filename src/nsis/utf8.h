// UTF-16 arguments of the Unicode plug-in as UTF-8, the form the rules take
// wide paths in (fileinfo/version_api.h).
#ifndef QV_NSIS_UTF8_H
#define QV_NSIS_UTF8_H

#include <string_view>

#include "memory/heap.h"

namespace qv::nsis {

// `units` as terminated UTF-8; a surrogate without its pair becomes U+FFFD
// (a path holding one then names no file). Empty when there is no memory.
memory::HeapPtr<char> Utf8FromUtf16(std::wstring_view units);

} // namespace qv::nsis

#endif
