// GetFileVersionInfoSizeA and GetFileVersionInfoA over a file's bytes,
// giving the answers Wine 8 gives: where Wine's answer comes only from bytes
// inside its own buffers, the same bytes. Where Wine would read or write
// memory it does not own (damaged files), these fail instead.
#include "reader/version_file.h"

#include <algorithm>
#include <cstring>

#include "reader/resource.h"
#include "reader/version_block.h"

namespace qv::reader {

struct VersionFile {
    FileImage image;
    VersionLocation location;
};

void CloseVersionFile(VersionFile *file)
{
    memory::DeleteHeapObject(file);
}

Refusal OpenVersionFile(const char *path, VersionFileHandle &file, platform::PathForm form)
{
    file.reset();
    if (path == nullptr || *path == '\0')
        return Refusal::no_path;
    // Default-initialised: the image's buffers are filled before use.
    file.reset(memory::NewHeapObject<VersionFile>());
    if (!file)
        return Refusal::no_memory;
    const Refusal refusal = OpenFileImage(file->image, path, form);
    if (refusal != Refusal::none)
        return refusal;
    return LocateVersionResource(file->image, path, file->location);
}

VersionFileHandle OpenVersionFile(const char *path)
{
    VersionFileHandle file;
    if (OpenVersionFile(path, file) != Refusal::none)
        file.reset();
    return file;
}

const VersionLocation &VersionFileLocation(const VersionFile &file)
{
    return file.location;
}

uint32_t FileInfoSize(const VersionFile &file)
{
    // In 32 bits, wrapping as Wine's arithmetic does. A 32-bit resource
    // needs twice its length plus four: room for "FE2X" and for the 8-bit
    // copies of its strings. A 16-bit one gets four times what follows its
    // fixed record (room for 16-bit copies); the 16-bit size leaves the
    // record out.
    const uint32_t size = file.location.size;
    if (file.location.sixteen_bit)
        return (size - kFixedRecordSize) * 4;
    return size * 2 + sizeof kBlockSignature;
}

bool FileInfoRead(VersionFile &file, uint32_t length, void *data)
{
    if (data == nullptr)
        return false;
    const VersionLocation &location = file.location;
    const std::span<uint8_t> out(static_cast<uint8_t *>(data), length);
    // Only what Wine copies is touched: at most the resource and the
    // buffer, and from the file never more than it holds.
    if (!ReadVersionData(file.image, location, out.first(std::min(location.size, length))))
        return false;
    if (location.sixteen_bit)
        return true;
    // The signature goes right after the tree, when it fits. The tree
    // length is read from the buffer as it now is, as in Wine.
    const auto tree = ByteView{out}.Read<uint16_t>(kNodeLengthOffset);
    if (!tree)
        return false;
    if (length >= uint32_t{*tree} + sizeof kBlockSignature)
        std::memcpy(out.data() + *tree, kBlockSignature, sizeof kBlockSignature);
    return true;
}

uint32_t PathInfoSize(const char *path, uint32_t *handle)
{
    if (handle != nullptr)
        *handle = 0;
    const VersionFileHandle file = OpenVersionFile(path);
    return file ? FileInfoSize(*file) : 0;
}

bool PathInfoRead(const char *path, uint32_t /*handle*/, uint32_t length, void *data)
{
    const VersionFileHandle file = OpenVersionFile(path);
    return file && FileInfoRead(*file, length, data);
}

Refusal VetVersionFile(const char *path, platform::PathForm form)
{
    VersionFileHandle file;
    if (const Refusal refusal = OpenVersionFile(path, file, form); refusal != Refusal::none)
        return refusal;
    // The same read into the same size of buffer as a query makes: the
    // size, plus one byte, as the setup host's plug-ins pass it; zeroed, as
    // a resource shorter than its header leaves bytes unwritten.
    const uint32_t size = FileInfoSize(*file);
    if (!UsableBlockSize(size))
        return size == 0 ? Refusal::block_empty : Refusal::block_too_large;
    const auto block = memory::AllocateZeroed(std::size_t{size} + 1);
    if (!block)
        return Refusal::no_memory;
    if (!FileInfoRead(*file, size + 1, block.get()))
        return Refusal::data_unreadable;
    return VersionBlockFits(block.get(), size + 1) ? Refusal::none : Refusal::root_past_block;
}

} // namespace qv::reader
