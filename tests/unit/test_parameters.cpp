// SplitParameter / TrimBlanks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/parameters.h"
#include "host_table.h"

namespace {

using namespace qv::host;

struct Split {
    uint32_t count;
    std::vector<std::string> items;
};

// SplitParameter's count and items; slot 0 and the slots past them are empty.
Split DoSplit(const char *text)
{
    HostTable t;
    t.Parameters(text);
    const ParameterList list = SplitParameter(t.block());
    Split result{list.count, {}};
    EXPECT_EQ(ParameterItem(list, 0).data(), nullptr);
    for (uint32_t i = 1; i < list.count; i++)
        result.items.emplace_back(ParameterItem(list, i));
    for (uint32_t i = list.count; i <= kParameterSlots; i++)
        EXPECT_EQ(ParameterItem(list, i).data(), nullptr);
    return result;
}

TEST(Parameters, SplitsAndTrims)
{
    const std::pair<const char *, Split> cases[] = {
        {" C:\\app\\client.exe , ProductVersion ", {3, {"C:\\app\\client.exe", "ProductVersion"}}},
        {"", {2, {""}}},
        {",", {3, {"", ""}}},
        {"a,,b", {4, {"a", "", "b"}}},
        {"1.0", {2, {"1.0"}}},
        {" \t\r\n\v\f", {2, {""}}},
        {" a b ,\tc d\t", {3, {"a b", "c d"}}},
        {"x ,  , y", {4, {"x", "", "y"}}},
        {"\xa0x\xa0, y", {3, {"\xa0x\xa0", "y"}}}, // 0xA0 is not a blank
        {",,", {4, {"", "", ""}}},
        {nullptr, {0, {}}}, // no text, no list
    };
    for (const auto &[text, want] : cases) {
        Split s = DoSplit(text);
        EXPECT_EQ(s.count, want.count) << text;
        EXPECT_EQ(s.items, want.items) << text;
    }
    EXPECT_EQ(SplitParameter(nullptr).count, 0u); // no block
}

TEST(Parameters, CallersTextIsNeverModified)
{
    const std::string original = "  1.0 , 2.0 ,3  ";
    std::string text = original;
    HostTable t;
    t.Parameters(text.c_str());
    SplitParameter(t.block());
    EXPECT_EQ(text, original);
}

TEST(Parameters, AtMostSixtyThreeItems)
{
    std::string text;
    for (int i = 1; i <= 70; i++)
        text += std::to_string(i) + (i < 70 ? "," : "");
    Split s = DoSplit(text.c_str());
    EXPECT_EQ(s.count, 64u);
    ASSERT_EQ(s.items.size(), 63u);
    EXPECT_EQ(s.items[0], "1");
    EXPECT_EQ(s.items[62], "63"); // cut at the comma; the rest is dropped
}

TEST(Parameters, TrimBlanks)
{
    const std::pair<const char *, const char *> cases[] = {
        {"  abc  ", "abc"}, {"abc", "abc"}, {"", ""},    {" \t ", ""},
        {"\na b\r", "a b"}, {"x ", "x"},    {" x", "x"},
    };
    for (auto c : cases)
        EXPECT_EQ(TrimBlanks(c.first), c.second) << '"' << c.first << '"';
}

} // namespace
