// A script-variable table as a setup host lays it out, for every test
// program that calls the library or the module.
//
// The host block sits between guard bytes, and each slot array (exactly
// capacity x width bytes) between guard regions. Every byte starts as the
// fill byte and the host words hold patterns. A shadow copy keeps what the
// host itself wrote. After a call, Intact() tells whether anything was
// written where the library has no business: a guard, a host field of the
// block, a slot past the entries in use, or past the terminator of a slot it
// changed (or a changed slot left without one). With a guard of 0 each slot
// array is an allocation of exactly its size, so that AddressSanitizer sees
// any access past it.
#ifndef QV_TESTS_HOST_TABLE_H
#define QV_TESTS_HOST_TABLE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "qvsetup.h"

struct HostShape {
    uint32_t capacity = 16;
    uint32_t name_width = 64;
    uint32_t value_width = 256;
    size_t guard = 64;         // guard bytes before and after each slot array
    unsigned char fill = 0xA5; // every slot and guard byte at first
};

class HostTable {
public:
    static constexpr unsigned char kSentinel = 0xA5;

    HostTable(uint32_t capacity = 16, uint32_t name_width = 64, uint32_t value_width = 256)
        : HostTable(HostShape{capacity, name_width, value_width})
    {
    }
    explicit HostTable(const HostShape &shape)
        : shape_(shape), names_(size_t(shape.capacity) * shape.name_width, shape.guard),
          values_(size_t(shape.capacity) * shape.value_width, shape.guard)
    {
        Reset();
    }

    // Back to the table as built: no entries, every byte the fill.
    void Reset()
    {
        std::memset(&frame_, shape_.fill, sizeof frame_);
        HostParamBlock &b = frame_.block;
        b = HostParamBlock{0x11111111u,        0x22222222u, shape_.capacity, shape_.name_width,
                           shape_.value_width, 0,           names_.Slots(),  values_.Slots(),
                           0x88888888u,        0x99999999u, nullptr};
        host_block_ = b;
        names_.Reset(shape_.fill);
        values_.Reset(shape_.fill);
    }

    HostParamBlock *block() { return &frame_.block; }
    uint32_t count() const { return frame_.block.VariableCount; }

    // The call's parameter text (null: none), as the host sets it.
    void Parameters(const char *text)
    {
        frame_.block.ParameterText = host_block_.ParameterText = text;
    }

    // Appends an entry with a raw key ('%Name%') as the host stores it.
    void Append(std::string_view key, std::string_view value)
    {
        const uint32_t i = frame_.block.VariableCount++;
        SetName(i, key);
        SetValue(i, value);
    }

    // The host writes `text` into slot i, cut to the slot, with its
    // terminator when that fits.
    void SetName(uint32_t i, std::string_view text) { names_.Write(i, shape_.name_width, text); }
    void SetValue(uint32_t i, std::string_view text) { values_.Write(i, shape_.value_width, text); }

    // The host's bytes for the slot arrays, from their start.
    void SetSlotBytes(std::string_view names, std::string_view values)
    {
        names_.WriteAt(0, names);
        values_.WriteAt(0, values);
    }

    // The slot arrays' bytes as they are now.
    std::string_view Names() const { return names_.View(); }
    std::string_view Values() const { return values_.View(); }

    std::string Key(uint32_t i) const { return ReadSlot(Names(), i, shape_.name_width); }
    std::string Value(uint32_t i) const { return ReadSlot(Values(), i, shape_.value_width); }

    // Value of the first entry keyed '%name%'; `missing` when there is none.
    std::string Get(const std::string &name, const std::string &missing = "<missing>") const
    {
        for (uint32_t i = 0; i < count() && i < shape_.capacity; i++)
            if (Key(i) == "%" + name + "%")
                return Value(i);
        return missing;
    }

    // The guards are whole, the block's fields other than the count are the
    // host's, slots past the entries in use are the host's, and a slot in
    // use that changed holds a terminator with the host's bytes after it.
    bool Intact() const
    {
        const HostParamBlock &b = frame_.block;
        HostParamBlock expected = host_block_;
        expected.VariableCount = b.VariableCount;
        const uint32_t used = std::min(b.VariableCount, shape_.capacity);
        return std::memcmp(&b, &expected, sizeof b) == 0 && Filled(frame_.before) &&
               Filled(frame_.after) && names_.Intact(used, shape_.name_width, shape_.fill) &&
               values_.Intact(used, shape_.value_width, shape_.fill);
    }

    // All bytes of both arrays and the count, to see that nothing changed.
    std::string Snapshot() const
    {
        return std::string(names_.All()) + '|' + std::string(values_.All()) + '|' +
               std::to_string(count());
    }

private:
    // One slot array between its guard regions, and a shadow of what the
    // host wrote there. The allocation is exactly the guards and the slots.
    struct SlotArray {
        SlotArray(size_t slots, size_t guard_bytes)
            : size(slots), guard(guard_bytes), bytes(new char[slots + 2 * guard_bytes]),
              host(new char[slots + 2 * guard_bytes])
        {
        }
        char *Slots() const { return bytes.get() + guard; }
        std::string_view View() const { return {Slots(), size}; }
        std::string_view All() const { return {bytes.get(), size + 2 * guard}; }

        void Reset(unsigned char fill)
        {
            std::memset(bytes.get(), fill, size + 2 * guard);
            std::memset(host.get(), fill, size + 2 * guard);
        }
        void WriteAt(size_t offset, std::string_view text)
        {
            const size_t n = std::min(text.size(), size - std::min(offset, size));
            std::memcpy(Slots() + offset, text.data(), n);
            std::memcpy(host.get() + guard + offset, text.data(), n);
        }
        void Write(uint32_t i, uint32_t width, std::string_view text)
        {
            const size_t at = size_t(i) * width;
            WriteAt(at, text.substr(0, width));
            if (text.size() < width)
                WriteAt(at + text.size(), std::string_view("", 1));
        }

        bool Intact(uint32_t used, uint32_t width, unsigned char fill) const
        {
            const char *now = bytes.get();
            const char *was = host.get();
            for (size_t i = 0; i < guard; i++)
                if (static_cast<unsigned char>(now[i]) != fill ||
                    static_cast<unsigned char>(now[guard + size + i]) != fill)
                    return false;
            for (size_t start = guard; width != 0 && start < guard + size; start += width) {
                if (std::memcmp(now + start, was + start, width) == 0)
                    continue;
                const void *end = std::memchr(now + start, 0, width);
                const size_t after = end ? static_cast<const char *>(end) - now + 1 : 0;
                if ((start - guard) / width >= used || end == nullptr ||
                    std::memcmp(now + after, was + after, start + width - after) != 0)
                    return false;
            }
            return true;
        }

        size_t size, guard;
        std::unique_ptr<char[]> bytes, host;
    };

    static std::string ReadSlot(std::string_view array, uint32_t i, uint32_t width)
    {
        const std::string_view slot = array.substr(size_t(i) * width, width);
        return std::string(slot.substr(0, slot.find('\0')));
    }

    static constexpr size_t kBlockGuard = 64;

    bool Filled(const unsigned char (&guard)[kBlockGuard]) const
    {
        return std::all_of(guard, guard + kBlockGuard,
                           [this](unsigned char c) { return c == shape_.fill; });
    }

    HostShape shape_;
    SlotArray names_, values_;
    struct {
        unsigned char before[kBlockGuard];
        HostParamBlock block;
        unsigned char after[kBlockGuard];
    } frame_;
    HostParamBlock host_block_;
};

#endif
