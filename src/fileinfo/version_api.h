// The version-information operations one field query uses, shaped as
// Windows' 8-bit GetFileVersionInfoSizeA, GetFileVersionInfoA and
// VerQueryValueA: on Windows the system's, behind the project's checks
// (version_api_windows.cpp); elsewhere the project's own reader
// (version_api.cpp).
#ifndef QV_FILEINFO_VERSION_API_H
#define QV_FILEINFO_VERSION_API_H

#include <cstdint>

#include "memory/heap.h"
#include "reader/refusal.h"

namespace qv::fileinfo {

// The text a session takes and gives: paths in the ANSI code page and 8-bit
// strings, as the exports; or paths in UTF-8 and the strings' own UTF-16
// units (ApiWideValueQuery), as Unicode callers want them.
enum class TextForm : uint8_t { ansi, wide };

// One query's session: the block last read and its length bound the
// queries on it.
struct VersionApi;

void CloseVersionApi(VersionApi *api);
using VersionApiHandle = memory::Owned<VersionApi, CloseVersionApi>;

// Empty when the operations cannot be had; every query is then a miss.
VersionApiHandle OpenVersionApi(TextForm form = TextForm::ansi);

// Named Api* so that none is taken for the reader's (reader/version_file.h,
// reader/version_block.h) or the platform's (platform/platform.h).
uint32_t ApiInfoSize(VersionApi &api, const char *path, uint32_t *handle);
bool ApiInfoRead(VersionApi &api, const char *path, uint32_t handle, uint32_t length, void *data);
// Only the block last read can be queried: its length is known.
bool ApiValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                   unsigned *length);

// As VerQueryValueW on the block last read, when it has the 32-bit layout:
// a string's UTF-16 units, *length of them. It finds what ApiValueQuery
// finds (a string whose 8-bit copy would leave the block is refused here
// too).
bool ApiWideValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                       unsigned *length);

// Why the last size asked was 0: the project's reader's reason for the file
// (on Windows, that of the check before the system's functions).
reader::Refusal ApiSizeRefusal(const VersionApi &api);

} // namespace qv::fileinfo

#endif
