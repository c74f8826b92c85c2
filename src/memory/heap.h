// Blocks from malloc owned by a unique_ptr. The library does not use
// operator new: the DLL is linked without the C++ runtime.
#ifndef QV_MEMORY_HEAP_H
#define QV_MEMORY_HEAP_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace qv::memory {

struct FreeDeleter {
    void operator()(void *block) const { std::free(block); }
};

template <typename T>
using HeapPtr = std::unique_ptr<T, FreeDeleter>;

// An owner that releases with `Release`: a function declared beside an
// opaque type, defined where the type is complete.
template <auto Release>
struct ReleaseWith {
    template <typename T>
    void operator()(T *object) const
    {
        Release(object);
    }
};

template <typename T, auto Release>
using Owned = std::unique_ptr<T, ReleaseWith<Release>>;

// `count` zeroed bytes; empty when they cannot be had.
inline HeapPtr<uint8_t[]> AllocateZeroed(std::size_t count)
{
    return HeapPtr<uint8_t[]>(static_cast<uint8_t *>(std::calloc(count, 1)));
}

// `count` Ts in a block from malloc, left unwritten; empty when they cannot
// be had. T is a plain value (no constructor or destructor runs). A count
// of 0 still gives a block, so that empty means only "no memory".
template <typename T>
HeapPtr<T[]> AllocateArray(std::size_t count)
{
    static_assert(std::is_trivial_v<T>);
    if (count > SIZE_MAX / sizeof(T))
        return {};
    return HeapPtr<T[]>(static_cast<T *>(std::malloc(count == 0 ? 1 : count * sizeof(T))));
}

// A T in a block from malloc, or null when there is none; undone by
// DeleteHeapObject. Without arguments it is default-initialised (large
// buffers are left unwritten), with them built from them.
template <typename T, typename... Args>
T *NewHeapObject(Args &&...args)
{
    void *memory = std::malloc(sizeof(T));
    if (memory == nullptr)
        return nullptr;
    if constexpr (sizeof...(Args) == 0)
        return new (memory) T;
    else
        return new (memory) T{std::forward<Args>(args)...};
}

template <typename T>
void DeleteHeapObject(T *object)
{
    if (object == nullptr)
        return;
    object->~T();
    std::free(object);
}

// A terminated heap copy of `text`; empty when there is no memory.
inline HeapPtr<char> CopyText(std::string_view text)
{
    HeapPtr<char> copy(static_cast<char *>(std::malloc(text.size() + 1)));
    if (copy) {
        if (!text.empty())
            std::memcpy(copy.get(), text.data(), text.size());
        copy.get()[text.size()] = '\0';
    }
    return copy;
}

} // namespace qv::memory

#endif
