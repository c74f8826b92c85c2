// GetVariable / SetVariable on host tables, including hostile shapes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "host/variables.h"
#include "host_table.h"

namespace {

using qv::host::GetVariable;
using qv::host::SetVariable;

std::string Read(HostTable &t, const char *name, size_t size = 256)
{
    std::string out(size, '\x7f');
    const std::string_view value = GetVariable(*t.block(), name, {out.data(), size});
    if (size == 0)
        return out;
    EXPECT_EQ(value, std::string(out.c_str())) << "the returned text is not the copy";
    return std::string(out.c_str());
}

TEST(Variables, OverwriteInPlaceKeepsCount)
{
    HostTable t;
    t.Append("%A%", "1");
    t.Append("%VersionDelta%", "old value");
    SetVariable(*t.block(), "VersionDelta", "-1");
    EXPECT_EQ(t.count(), 2u);
    EXPECT_EQ(t.Value(1), "-1");
    EXPECT_EQ(t.Value(0), "1");
    EXPECT_TRUE(t.Intact());
}

TEST(Variables, AppendWritesKeyWithPercentSigns)
{
    HostTable t;
    t.Append("%A%", "1");
    SetVariable(*t.block(), "FileVersion", "1.2.3.4");
    ASSERT_EQ(t.count(), 2u);
    EXPECT_EQ(t.Key(1), "%FileVersion%");
    EXPECT_EQ(t.Value(1), "1.2.3.4");
    EXPECT_TRUE(t.Intact());
}

TEST(Variables, FullTableIsLeftExactlyAsItWas)
{
    HostTable t(2);
    t.Append("%A%", "1");
    t.Append("%B%", "2");
    std::string before = t.Snapshot();
    SetVariable(*t.block(), "C", "3");
    EXPECT_EQ(t.Snapshot(), before);
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
    EXPECT_EQ(t.Value(0), "bare");
    EXPECT_EQ(t.Value(1), "caps");
    EXPECT_EQ(t.Value(2), "longer");
    EXPECT_EQ(t.Value(3), "key and more");
    EXPECT_EQ(t.Value(4), "new");
    EXPECT_EQ(Read(t, "FILEVERSION"), "caps");
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

TEST(Variables, MissingVariableReadsEmpty)
{
    HostTable t;
    t.Append("%A%", "1");
    EXPECT_EQ(Read(t, "B"), "");
}

TEST(Variables, LongValueIsCutToItsSlot)
{
    HostTable t(4, 32, 8);
    SetVariable(*t.block(), "V", "0123456789");
    EXPECT_EQ(t.Value(0), "0123456");
    SetVariable(*t.block(), "V", "abcdefgh");
    EXPECT_EQ(t.Value(0), "abcdefg");
    EXPECT_TRUE(t.Intact());
}

TEST(Variables, KeyThatDoesNotFitIsNotAppended)
{
    HostTable t(4, 14, 64); // '%VersionDelta%' needs 15 bytes
    std::string before = t.Snapshot();
    SetVariable(*t.block(), "VersionDelta", "1");
    EXPECT_EQ(t.Snapshot(), before);
    HostTable fits(4, 15, 64);
    SetVariable(*fits.block(), "VersionDelta", "1");
    EXPECT_EQ(fits.Key(0), "%VersionDelta%");
    EXPECT_TRUE(fits.Intact());
}

TEST(Variables, ZeroWidthsWriteNothing)
{
    for (auto widths : {std::pair<uint32_t, uint32_t>{0, 64}, {64, 0}, {0, 0}}) {
        HostTable t(4, widths.first, widths.second);
        std::string before = t.Snapshot();
        SetVariable(*t.block(), "V", "1");
        EXPECT_EQ(t.Snapshot(), before);
        EXPECT_EQ(Read(t, "V"), "");
    }
}

TEST(Variables, GetCutsToCallerBuffer)
{
    HostTable t;
    t.Append("%V%", "4.72.3110");
    EXPECT_EQ(Read(t, "V", 5), "4.72");
    EXPECT_EQ(Read(t, "V", 1), "");
    char untouched = 'x';
    GetVariable(*t.block(), "V", {&untouched, 0});
    EXPECT_EQ(untouched, 'x');
}

TEST(Variables, UnterminatedValueSlotIsReadOnlyToItsEnd)
{
    HostTable t(2, 16, 4);
    t.Append("%V%", "abcdefgh"); // the host filled the slot without a terminator
    EXPECT_EQ(Read(t, "V"), "abcd");
}

TEST(Variables, NullArrays)
{
    char out[8] = "x";
    HostTable t(8, 32, 32);
    HostParamBlock &block = *t.block();
    block.NameSlots = block.ValueSlots = nullptr;
    SetVariable(block, "V", "1");
    EXPECT_EQ(block.VariableCount, 0u);
    GetVariable(block, "V", out);
    EXPECT_STREQ(out, "");
}

TEST(Variables, CountAboveCapacityIsNotTrustedBeyondIt)
{
    HostTable t(2);
    t.Append("%A%", "1");
    t.Append("%B%", "2");
    t.block()->VariableCount = 1000; // a corrupt count
    std::string before = t.Snapshot();
    SetVariable(*t.block(), "C", "3");
    EXPECT_EQ(t.Snapshot(), before);
    SetVariable(*t.block(), "B", "two");
    EXPECT_EQ(t.Value(1), "two");
}

TEST(Variables, NameTooLongForKeyBuffer)
{
    HostTable t;
    std::string name(30, 'n'); // 30 + 2 percent signs + terminator > 32
    SetVariable(*t.block(), name, "1");
    EXPECT_EQ(t.count(), 0u);
    std::string longest(29, 'n');
    SetVariable(*t.block(), longest, "1");
    EXPECT_EQ(t.Key(0), "%" + longest + "%");
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
