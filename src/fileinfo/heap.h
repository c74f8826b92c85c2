// Blocks from malloc owned by a unique_ptr. The library does not use
// operator new: the DLL is linked without the C++ runtime.
#ifndef QV_FILEINFO_HEAP_H
#define QV_FILEINFO_HEAP_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace qv::fileinfo {

struct FreeDeleter {
    void operator()(void *block) const { std::free(block); }
};

template <typename T>
using HeapPtr = std::unique_ptr<T, FreeDeleter>;

// `count` zeroed bytes; empty when they cannot be had.
inline HeapPtr<uint8_t[]> AllocateZeroed(std::size_t count)
{
    return HeapPtr<uint8_t[]>(static_cast<uint8_t *>(std::calloc(count, 1)));
}

// A T built (default-initialised) in a block from malloc, or null when
// there is none; undone by DeleteHeapObject.
template <typename T>
T *NewHeapObject()
{
    void *memory = std::malloc(sizeof(T));
    return memory != nullptr ? new (memory) T : nullptr;
}

template <typename T>
void DeleteHeapObject(T *object)
{
    if (object == nullptr)
        return;
    object->~T();
    std::free(object);
}

} // namespace qv::fileinfo

#endif
