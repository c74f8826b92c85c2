// The Windows build's version operations: the system's VERSION.dll, asked
// only what the project's reader has judged it can answer soundly.
#include <utility>

#include "platform/platform.h"
#include "memory/heap.h"
#include "fileinfo/version_api.h"
#include "reader/version_block.h"
#include "reader/version_file.h"

namespace qv::fileinfo {

struct VersionApi {
    platform::VersionLibraryHandle library;
    const void *block = nullptr;
    uint32_t block_length = 0;
    platform::PathForm path_form = platform::PathForm::ansi;
    reader::Refusal refusal = reader::Refusal::none;
};

void CloseVersionApi(VersionApi *api)
{
    memory::DeleteHeapObject(api);
}

VersionApiHandle OpenVersionApi(TextForm form)
{
    platform::VersionLibraryHandle library = platform::PlatformLoadVersionLibrary();
    if (!library)
        return {};
    VersionApiHandle api(memory::NewHeapObject<VersionApi>());
    if (api) {
        api->library = std::move(library);
        if (form == TextForm::wide)
            api->path_form = platform::PathForm::utf8;
    }
    return api;
}

// The system's functions read a damaged file's resource past the mapped
// image (and crash), or write their 8-bit copies past the caller's buffer.
// So a file goes to them only when the project's own reader, which stays
// inside the file and its buffers, can read its version resource; any other
// file has no version information here, as it has on the portable build.
uint32_t ApiInfoSize(VersionApi &api, const char *path, uint32_t *handle)
{
    *handle = 0;
    api.refusal = reader::VetVersionFile(path, api.path_form);
    if (api.refusal != reader::Refusal::none)
        return 0;
    const uint32_t size =
        platform::PlatformGetFileVersionInfoSizeA(*api.library, path, handle, api.path_form);
    if (size == 0)
        api.refusal = reader::Refusal::system_refused;
    return size;
}

bool ApiInfoRead(VersionApi &api, const char *path, uint32_t handle, uint32_t length, void *data)
{
    api.block = data;
    api.block_length = length;
    return platform::PlatformGetFileVersionInfoA(*api.library, path, handle, length, data,
                                                 api.path_form);
}

// VerQueryValueA does not know the block's length: it walks the tree and
// writes its 8-bit copy of a string wherever the block's own lengths say.
// So only the block last read is queried, and only after the project's
// reader has judged, without writing, that this query stays inside it.
bool ApiValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                   unsigned *length)
{
    *length = 0;
    if (block == nullptr || block != api.block ||
        !reader::BlockQueryStaysInside(block, api.block_length, sub_block))
        return false;
    return platform::PlatformVerQueryValueA(*api.library, block, sub_block, buffer, length);
}

// VerQueryValueW only reads the tree, but walks it as VerQueryValueA does:
// the reader judges the query first, and the system must then point where
// the reader found the value. The length is the reader's, which counts a
// binary value's bytes as units, as the 8-bit queries count its bytes as
// characters; a string with no room for its 8-bit copy gives no text here
// either.
bool ApiWideValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                       unsigned *length)
{
    *length = 0;
    void *expected = nullptr;
    unsigned expected_length = 0;
    if (block == nullptr || block != api.block ||
        !reader::BlockWideValueQuery(block, api.block_length, sub_block, &expected,
                                     &expected_length))
        return false;
    if (expected_length == 0)
        return true;
    unsigned system_length = 0;
    if (!platform::PlatformVerQueryValueW(*api.library, block, sub_block, buffer, &system_length) ||
        *buffer != expected)
        return false;
    *length = expected_length;
    return true;
}

reader::Refusal ApiSizeRefusal(const VersionApi &api)
{
    return api.refusal;
}

} // namespace qv::fileinfo
