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
    HostTable(uint32_t capacity = 16, uint32_t name_width = 64, uint32_t value_width = 256)
        : HostTable(HostShape{capacity, name_width, value_width})
    {
    }
    explicit HostTable(const HostShape &shape)
        : shape_(shape), names_(shape, shape.name_width), values_(shape, shape.value_width)
    {
        Reset();
    }

    // Back to the table as built: no entries, every byte the fill.
    void Reset()
    {
        std::memset(&frame_, shape_.fill, sizeof frame_);
        frame_.block = {0x11111111u,        0x22222222u, shape_.capacity, shape_.name_width,
                        shape_.value_width, 0,           names_.Slots(),  values_.Slots(),
                        0x88888888u,        0x99999999u, nullptr};
        host_frame_ = frame_;
        names_.Reset(shape_.fill);
        values_.Reset(shape_.fill);
    }

    HostParamBlock *block() { return &frame_.block; }
    uint32_t count() const { return frame_.block.VariableCount; }

    // The call's parameter text (null: none), as the host sets it.
    void Parameters(const char *text)
    {
        frame_.block.ParameterText = host_frame_.block.ParameterText = text;
    }

    // Appends an entry with a raw key ('%Name%') as the host stores it.
    void Append(std::string_view key, std::string_view value)
    {
        SetName(count(), key);
        SetValue(count(), value);
        frame_.block.VariableCount++;
    }

    // The host writes `text` into slot i, cut to the slot, with its
    // terminator when that fits.
    void SetName(uint32_t i, std::string_view text) { names_.Write(i, text); }
    void SetValue(uint32_t i, std::string_view text) { values_.Write(i, text); }
    // The host's bytes for the slot arrays, from their start.
    void SetSlotBytes(std::string_view names, std::string_view values)
    {
        names_.Put(0, names);
        values_.Put(0, values);
    }

    // The slot arrays' bytes as they are now, and what one slot holds up to
    // its terminator.
    std::string_view Names() const { return names_.View().substr(shape_.guard, names_.size); }
    std::string_view Values() const { return values_.View().substr(shape_.guard, values_.size); }
    std::string Key(uint32_t i) const { return names_.Read(i); }
    std::string Value(uint32_t i) const { return values_.Read(i); }

    // Value of the first entry keyed '%name%'; "<missing>" when there is none.
    std::string Get(const std::string &name) const
    {
        for (uint32_t i = 0; i < count() && i < shape_.capacity; i++)
            if (Key(i) == "%" + name + "%")
                return Value(i);
        return "<missing>";
    }

    // The guards are whole, the block's fields other than the count are the
    // host's, slots past the entries in use are the host's, and a slot in
    // use that changed holds a terminator with the host's bytes after it.
    bool Intact() const
    {
        Frame expected = host_frame_;
        expected.block.VariableCount = count();
        const uint32_t used = std::min(count(), shape_.capacity);
        return std::memcmp(&expected, &frame_, sizeof frame_) == 0 && names_.Intact(used) &&
               values_.Intact(used);
    }

    // All bytes of both arrays and the count, to see that nothing changed.
    std::string Snapshot() const
    {
        return std::string(names_.View()) + '|' + std::string(values_.View()) + '|' +
               std::to_string(count());
    }

private:
    // One slot array between its guard regions (one allocation of exactly
    // that size), and a shadow of what the host wrote there.
    struct SlotArray {
        SlotArray(const HostShape &shape, uint32_t slot_width)
            : width(slot_width), guard(shape.guard), size(size_t(shape.capacity) * slot_width),
              bytes(new char[size + 2 * guard])
        {
        }
        char *Slots() const { return bytes.get() + guard; }
        std::string_view View() const { return {bytes.get(), size + 2 * guard}; }

        void Reset(unsigned char fill)
        {
            std::memset(bytes.get(), fill, size + 2 * guard);
            host = View();
        }
        void Put(size_t at, std::string_view text)
        {
            text = text.substr(0, size - std::min(at, size));
            std::copy(text.begin(), text.end(), Slots() + at);
            std::copy(text.begin(), text.end(), host.begin() + long(guard + at));
        }
        void Write(uint32_t i, std::string_view text)
        {
            Put(size_t(i) * width, text.substr(0, width));
            if (text.size() < width)
                Put(size_t(i) * width + text.size(), std::string_view("", 1));
        }
        std::string Read(uint32_t i) const
        {
            const std::string_view slot = View().substr(guard + size_t(i) * width, width);
            return std::string(slot.substr(0, slot.find('\0')));
        }
        bool Intact(uint32_t used) const
        {
            const std::string_view now = View(), was = host;
            if (now.substr(0, guard) != was.substr(0, guard) ||
                now.substr(guard + size) != was.substr(guard + size))
                return false;
            for (size_t i = 0; width != 0 && i < size / width; i++) {
                const std::string_view slot = now.substr(guard + i * width, width);
                const std::string_view kept = was.substr(guard + i * width, width);
                const size_t end = slot.find('\0');
                if (slot != kept &&
                    (i >= used || end == slot.npos || slot.substr(end + 1) != kept.substr(end + 1)))
                    return false;
            }
            return true;
        }

        uint32_t width;
        size_t guard, size;
        std::unique_ptr<char[]> bytes;
        std::string host;
    };

    struct Frame {
        unsigned char before[64];
        HostParamBlock block;
        unsigned char after[64];
    };

    HostShape shape_;
    SlotArray names_, values_;
    Frame frame_, host_frame_;
};

#endif
