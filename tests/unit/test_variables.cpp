// GetVariable / SetVariable on host tables, including hostile shapes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>

#include "host/variables.h"
#include "host_table.h"

namespace {

using namespace qv::host;

std::string Read(HostTable &t, const char *name, size_t size = 256)
{
    std::string out(size, '\x7f');
    const std::string_view value = GetVariable(*t.block(), name, {out.data(), size});
    EXPECT_EQ(value, std::string(out.c_str())) << "the returned text is not the copy";
    return std::string(out.c_str());
}

TEST(Variables, OverwritesInPlaceOrAppendsKeyWithPercentSigns)
{
    HostTable t;
    t.Append("%A%", "1");
    t.Append("%VersionDelta%", "old value");
    SetVariable(*t.block(), "VersionDelta", "-1");
    EXPECT_EQ(t.count(), 2u);
    EXPECT_EQ(t.Value(1), "-1");
    EXPECT_EQ(t.Value(0), "1");
    SetVariable(*t.block(), "FileVersion", "1.2.3.4");
    ASSERT_EQ(t.count(), 3u);
    EXPECT_EQ(t.Key(2), "%FileVersion%");
    EXPECT_EQ(t.Value(2), "1.2.3.4");
    EXPECT_TRUE(t.Intact());
}

// A full table is left exactly as it was, also when its count is corrupt
// (1000): the count is not trusted beyond the capacity.
TEST(Variables, FullTableIsLeftExactlyAsItWas)
{
    for (uint32_t count : {2u, 1000u}) {
        HostTable t(2);
        t.Append("%A%", "1");
        t.Append("%B%", "2");
        t.block()->VariableCount = count;
        const std::string before = t.Snapshot();
        SetVariable(*t.block(), "C", "3");
        EXPECT_EQ(t.Snapshot(), before) << count;
        SetVariable(*t.block(), "B", "two");
        EXPECT_EQ(t.Value(1), "two") << count;
    }
}

TEST(Variables, KeysMatchWholeAndCaseSensitive)
{
    HostTable t;
    t.Append("FileVersion", "bare"); // no percent signs: another variable
    t.Append("%FILEVERSION%", "caps");
    t.Append("%FileVersionX%", "longer");
    t.Append("%FileVersion%%", "key and more"); // the key, then no terminator
    EXPECT_EQ(Read(t, "FileVersion"), "");
    SetVariable(*t.block(), "FileVersion", "new");
    EXPECT_EQ(t.count(), 5u);
    const char *values[] = {"bare", "caps", "longer", "key and more", "new"};
    for (uint32_t i = 0; i < 5; i++)
        EXPECT_EQ(t.Value(i), values[i]) << i;
    EXPECT_EQ(Read(t, "FILEVERSION"), "caps");
    EXPECT_EQ(Read(t, "B"), "");
}

TEST(Variables, FirstOfDuplicateKeysWins)
{
    HostTable t;
    for (const char *key : {"%a%", "%b%", "%X%", "%c%", "%d%", "%X%"})
        t.Append(key, key);
    SetVariable(*t.block(), "X", "written");
    EXPECT_EQ(t.Value(2), "written");
    EXPECT_EQ(t.Value(5), "%X%");
    EXPECT_EQ(Read(t, "X"), "written");
}

TEST(Variables, LongValueIsCutToItsSlot)
{
    HostTable t(4, 32, 8);
    SetVariable(*t.block(), "V", "0123456789");
    EXPECT_EQ(t.Value(0), "0123456");
    SetVariable(*t.block(), "V", "abcdefgh");
    EXPECT_EQ(t.Value(0), "abcdefg");
    EXPECT_TRUE(t.Intact());
    HostTable one(4, 32, 1); // room for the terminator alone
    SetVariable(*one.block(), "V", "1");
    EXPECT_EQ(one.Key(0), "%V%");
    EXPECT_EQ(one.Value(0), "");
}

// '%VersionDelta%' and its terminator need a slot of 15 bytes; a key holds at
// most 32 bytes with both percent signs and its terminator.
TEST(Variables, KeyIsAppendedOnlyWhenItFits)
{
    const std::tuple<uint32_t, std::string, bool> cases[] = {{14, "VersionDelta", false},
                                                             {15, "VersionDelta", true},
                                                             {64, std::string(30, 'n'), false},
                                                             {64, std::string(29, 'n'), true}};
    for (const auto &[name_width, name, appended] : cases) {
        HostTable t(4, name_width, 64);
        const std::string before = t.Snapshot();
        SetVariable(*t.block(), name, "1");
        if (appended)
            EXPECT_EQ(t.Key(0), "%" + name + "%") << name;
        else
            EXPECT_EQ(t.Snapshot(), before) << name;
        EXPECT_TRUE(t.Intact()) << name;
    }
}

// Tables without room: slots of no width, or no slot arrays at all.
TEST(Variables, TablesWithoutRoomWriteNothing)
{
    for (auto widths : {std::pair<uint32_t, uint32_t>{0, 64}, {64, 0}, {0, 0}}) {
        HostTable t(4, widths.first, widths.second);
        if (widths.first != 0)
            t.Append("%V%", ""); // overwritten, not appended, where names fit
        std::string before = t.Snapshot();
        SetVariable(*t.block(), "V", "1");
        EXPECT_EQ(t.Snapshot(), before);
        EXPECT_EQ(Read(t, "V"), "");
    }
    HostTable t(8, 32, 32);
    t.block()->NameSlots = t.block()->ValueSlots = nullptr;
    SetVariable(*t.block(), "V", "1");
    EXPECT_EQ(t.count(), 0u);
    EXPECT_EQ(Read(t, "V"), "");
}

// A value is read up to its terminator or its slot's end, cut to the
// caller's buffer.
TEST(Variables, GetCutsToCallerBufferAndSlot)
{
    HostTable t;
    t.Append("%V%", "4.72.3110");
    EXPECT_EQ(Read(t, "V", 5), "4.72");
    EXPECT_EQ(Read(t, "V", 1), "");
    char untouched = 'x';
    GetVariable(*t.block(), "V", {&untouched, 0});
    EXPECT_EQ(untouched, 'x');
    HostTable unterminated(2, 16, 4);
    unterminated.Append("%V%", "abcdefgh"); // the host filled the slot without a terminator
    EXPECT_EQ(Read(unterminated, "V"), "abcd");
}

TEST(Variables, TablesPastSixteenBitIndex)
{
    const uint32_t entries = 70000;
    HostTable t(entries + 1, 12, 4);
    for (uint32_t i = 0; i < entries; i++)
        t.Append("%v" + std::to_string(i) + "%", "x");
    SetVariable(*t.block(), "v69999", "y");
    EXPECT_EQ(t.Value(69999), "y");
    SetVariable(*t.block(), "new", "z");
    EXPECT_EQ(t.count(), entries + 1);
    EXPECT_EQ(t.Key(entries), "%new%");
    SetVariable(*t.block(), "more", "z"); // full now: must return, not loop
    EXPECT_EQ(t.count(), entries + 1);
}

} // namespace
