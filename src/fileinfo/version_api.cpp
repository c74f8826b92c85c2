// The portable build's version operations: the project's own reader (the
// Windows build compiles version_api_windows.cpp instead). The file whose
// size was asked for stays open, so the read that follows for the same path
// does not find it again.
#include <cstring>

#include "memory/heap.h"
#include "fileinfo/version_api.h"
#include "reader/version_block.h"
#include "reader/version_file.h"

namespace qv::fileinfo {

struct VersionApi {
    reader::VersionFileHandle file;
    memory::HeapPtr<char> path; // the path `file` was opened for
    platform::PathForm path_form = platform::PathForm::ansi;
    void *block = nullptr;
    uint32_t block_length = 0;
    reader::Refusal refusal = reader::Refusal::none;
};

void CloseVersionApi(VersionApi *api)
{
    memory::DeleteHeapObject(api);
}

VersionApiHandle OpenVersionApi(TextForm form)
{
    VersionApiHandle api(memory::NewHeapObject<VersionApi>());
    if (api && form == TextForm::wide)
        api->path_form = platform::PathForm::utf8;
    return api;
}

uint32_t ApiInfoSize(VersionApi &api, const char *path, uint32_t *handle)
{
    *handle = 0;
    api.path.reset();
    api.refusal = reader::OpenVersionFile(path, api.file, api.path_form);
    if (api.refusal != reader::Refusal::none) {
        api.file.reset();
        return 0;
    }
    api.path = memory::CopyText(path);
    if (!api.path) {
        api.file.reset();
        return reader::PathInfoSize(path, handle);
    }
    return reader::FileInfoSize(*api.file);
}

bool ApiInfoRead(VersionApi &api, const char *path, uint32_t handle, uint32_t length, void *data)
{
    api.block = data;
    api.block_length = length;
    if (api.file && std::strcmp(api.path.get(), path) == 0)
        return reader::FileInfoRead(*api.file, length, data);
    return reader::PathInfoRead(path, handle, length, data);
}

bool ApiValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                   unsigned *length)
{
    if (block == nullptr || block != api.block)
        return false;
    return reader::BlockValueQuery(api.block, api.block_length, sub_block, buffer, length);
}

bool ApiWideValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                       unsigned *length)
{
    if (block == nullptr || block != api.block)
        return false;
    return reader::BlockWideValueQuery(api.block, api.block_length, sub_block, buffer, length);
}

reader::Refusal ApiSizeRefusal(const VersionApi &api)
{
    return api.refusal;
}

} // namespace qv::fileinfo
