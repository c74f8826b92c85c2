// A script-variable table as a setup host lays it out, for the tests.
//
// Every slot byte starts as kSentinel and a guard region follows each slot
// array. The host words are set to patterns. A shadow copy keeps what the
// host itself wrote. After a call the test can ask whether anything was
// written where the library has no business: past a string's terminator
// inside its slot, past the arrays, or into host words.
#ifndef QV_TESTS_HOST_TABLE_H
#define QV_TESTS_HOST_TABLE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qvsetup.h"

class HostTable {
public:
    static constexpr unsigned char kSentinel = 0xA5;
    static constexpr size_t kGuard = 64;

    HostTable(uint32_t capacity = 16, uint32_t name_width = 64, uint32_t value_width = 256)
        : names_(size_t(capacity) * name_width + kGuard, char(kSentinel)),
          values_(size_t(capacity) * value_width + kGuard, char(kSentinel)), host_names_(names_),
          host_values_(values_)
    {
        std::memset(&block_, 0, sizeof block_);
        block_.HostWord0 = 0x11111111u;
        block_.HostWord1 = 0x22222222u;
        block_.HostWord8 = 0x88888888u;
        block_.HostWord9 = 0x99999999u;
        block_.VariableCapacity = capacity;
        block_.NameWidth = name_width;
        block_.ValueWidth = value_width;
        block_.NameSlots = names_.data();
        block_.ValueSlots = values_.data();
    }

    HostParamBlock *block() { return &block_; }
    uint32_t count() const { return block_.VariableCount; }

    // Appends an entry with a raw key ('%Name%') as the host stores it.
    void Append(const std::string &key, const std::string &value)
    {
        uint32_t i = block_.VariableCount++;
        WriteSlot(NameSlot(i), block_.NameWidth, key);
        WriteSlot(ValueSlot(i), block_.ValueWidth, value);
        std::memcpy(&host_names_[size_t(i) * block_.NameWidth], NameSlot(i), block_.NameWidth);
        std::memcpy(&host_values_[size_t(i) * block_.ValueWidth], ValueSlot(i), block_.ValueWidth);
    }

    std::string Key(uint32_t i) const { return ReadSlot(NameSlot(i), block_.NameWidth); }
    std::string Value(uint32_t i) const { return ReadSlot(ValueSlot(i), block_.ValueWidth); }

    // Value of the first entry keyed '%name%'; `missing` when there is none.
    std::string Get(const std::string &name, const std::string &missing = "<missing>") const
    {
        for (uint32_t i = 0; i < block_.VariableCount && i < block_.VariableCapacity; i++)
            if (Key(i) == "%" + name + "%")
                return Value(i);
        return missing;
    }

    // Every slot keeps the host's bytes after its terminator, the guard
    // regions are whole, and the host words are untouched.
    bool Intact() const
    {
        if (block_.HostWord0 != 0x11111111u || block_.HostWord1 != 0x22222222u ||
            block_.HostWord8 != 0x88888888u || block_.HostWord9 != 0x99999999u)
            return false;
        return SlotsIntact(names_, host_names_, block_.NameWidth) &&
               SlotsIntact(values_, host_values_, block_.ValueWidth);
    }

    // All bytes of both arrays and the count, to see that nothing changed.
    std::string Snapshot() const
    {
        return std::string(names_.begin(), names_.end()) + '|' +
               std::string(values_.begin(), values_.end()) + '|' +
               std::to_string(block_.VariableCount);
    }

private:
    const char *NameSlot(uint32_t i) const { return names_.data() + size_t(i) * block_.NameWidth; }
    const char *ValueSlot(uint32_t i) const
    {
        return values_.data() + size_t(i) * block_.ValueWidth;
    }
    char *NameSlot(uint32_t i) { return names_.data() + size_t(i) * block_.NameWidth; }
    char *ValueSlot(uint32_t i) { return values_.data() + size_t(i) * block_.ValueWidth; }

    static void WriteSlot(char *slot, uint32_t width, const std::string &text)
    {
        std::memcpy(slot, text.c_str(), std::min<size_t>(text.size() + 1, width));
    }

    static std::string ReadSlot(const char *slot, uint32_t width)
    {
        const void *end = std::memchr(slot, 0, width);
        return std::string(slot, end ? static_cast<const char *>(end) - slot : width);
    }

    static bool SlotsIntact(const std::vector<char> &array, const std::vector<char> &host,
                            uint32_t width)
    {
        size_t slots_end = array.size() - kGuard;
        for (size_t i = slots_end; i < array.size(); i++)
            if (static_cast<unsigned char>(array[i]) != kSentinel)
                return false;
        for (size_t start = 0; width != 0 && start < slots_end; start += width) {
            const void *end = std::memchr(&array[start], 0, width);
            size_t after = end ? static_cast<const char *>(end) - &array[start] + 1 : width;
            if (std::memcmp(&array[start + after], &host[start + after], width - after) != 0)
                return false;
        }
        return true;
    }

    std::vector<char> names_;
    std::vector<char> values_;
    std::vector<char> host_names_;
    std::vector<char> host_values_;
    HostParamBlock block_;
};

#endif
