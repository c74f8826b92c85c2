// Blocks of a known byte on the heaps that the DLL and the system's
// functions take memory from: the C runtime's and, on Windows, the process
// heap (elsewhere the C runtime's again). Some are freed again, so that free
// memory holds the byte too: what a reader takes from past its own buffer
// then depends on it. The blocks kept live, between the freed ones, show a
// write that ran past a block.
#ifndef QV_TESTS_HEAP_SPRAY_H
#define QV_TESTS_HEAP_SPRAY_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

inline constexpr size_t kSpraySizes[] = {8,   16,  24,   40,   64,   100,  128,
                                         256, 500, 1024, 2000, 4096, 16384};

// Each round takes, for each size, a block kept live (when `keep`) and one
// freed, from the C runtime's heap (when `crt`) and then the process heap.
struct SprayShape {
    std::span<const size_t> sizes = kSpraySizes;
    int rounds = 2;
    bool crt = true;
    bool keep = true;
};

struct HeapSpray {
    struct Block {
        void *p;
        size_t size;
        bool crt;
    };
    SprayShape shape;
    std::vector<Block> live;

    explicit HeapSpray(const SprayShape &s = {}) : shape(s) {}
    HeapSpray(const HeapSpray &) = delete;
    HeapSpray &operator=(const HeapSpray &) = delete;
    ~HeapSpray() { Clear(); }

    void Fill(uint8_t fill)
    {
        Clear();
        std::vector<Block> freed;
        for (int round = 0; round < shape.rounds; round++)
            for (size_t size : shape.sizes)
                for (int crt = shape.crt; crt >= 0; crt--)
                    for (int kept = shape.keep; kept >= 0; kept--)
                        if (void *p = crt ? std::malloc(size) : HeapTake(size))
                            (kept ? live : freed)
                                .push_back({std::memset(p, fill, size), size, !!crt});
        for (const Block &b : freed)
            Release(b);
    }

    // Every live block still holds nothing but `fill`.
    bool Kept(uint8_t fill) const
    {
        for (const Block &b : live)
            for (size_t i = 0; i < b.size; i++)
                if (static_cast<const uint8_t *>(b.p)[i] != fill)
                    return false;
        return true;
    }

    void Clear()
    {
        for (const Block &b : live)
            Release(b);
        live.clear();
    }

    // The process heap on Windows; elsewhere the C runtime's again.
    static void *HeapTake(size_t size)
    {
#ifdef _WIN32
        return HeapAlloc(GetProcessHeap(), 0, size);
#else
        return std::malloc(size);
#endif
    }
    static void Release(const Block &b)
    {
#ifdef _WIN32
        if (!b.crt)
            return void(HeapFree(GetProcessHeap(), 0, b.p));
#endif
        std::free(b.p);
    }
};

#endif
