// SplitParameter / TrimBlanks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/parameters.h"

namespace {

struct Split {
    uint32_t count;
    std::vector<std::string> items;
};

Split DoSplit(const char *text)
{
    HostParamBlock block = {};
    block.ParameterText = text;
    Split result;
    ParameterList *list = SplitParameter(&block, &result.count);
    if (list != nullptr) {
        EXPECT_EQ(list->item[0], nullptr);
        for (uint32_t i = 1; i < result.count; i++)
            result.items.push_back(list->item[i]);
        for (uint32_t i = result.count; i < PARAMETER_SLOTS; i++)
            EXPECT_EQ(list->item[i], nullptr);
    }
    FreeParameterList(list);
    return result;
}

struct SplitCase {
    const char *text;
    uint32_t count;
    std::vector<std::string> items;
};

TEST(Parameters, SplitsAndTrims)
{
    const SplitCase cases[] = {
        {" C:\\app\\client.exe , ProductVersion ", 3, {"C:\\app\\client.exe", "ProductVersion"}},
        {"", 2, {""}},
        {",", 3, {"", ""}},
        {"a,,b", 4, {"a", "", "b"}},
        {"1.0", 2, {"1.0"}},
        {" \t\r\n\v\f", 2, {""}},
        {" a b ,\tc d\t", 3, {"a b", "c d"}},
        {"x ,  , y", 4, {"x", "", "y"}},
        {"\xa0x\xa0, y", 3, {"\xa0x\xa0", "y"}}, // 0xA0 is not a blank
        {",,", 4, {"", "", ""}},
    };
    for (const SplitCase &c : cases) {
        Split s = DoSplit(c.text);
        EXPECT_EQ(s.count, c.count) << c.text;
        EXPECT_EQ(s.items, c.items) << c.text;
    }
}

TEST(Parameters, NoTextNoList)
{
    uint32_t count = 99;
    EXPECT_EQ(SplitParameter(nullptr, &count), nullptr);
    EXPECT_EQ(count, 0u);
    HostParamBlock block = {};
    count = 99;
    EXPECT_EQ(SplitParameter(&block, &count), nullptr);
    EXPECT_EQ(count, 0u);
    FreeParameterList(nullptr);
}

TEST(Parameters, CallersTextIsNeverModified)
{
    const std::string original = "  1.0 , 2.0 ,3  ";
    std::string text = original;
    HostParamBlock block = {};
    block.ParameterText = text.c_str();
    uint32_t count;
    FreeParameterList(SplitParameter(&block, &count));
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

TEST(Parameters, TrimBlanksInPlace)
{
    const std::pair<const char *, const char *> cases[] = {
        {"  abc  ", "abc"}, {"abc", "abc"}, {"", ""}, {" \t ", ""},
        {"\na b\r", "a b"}, {"x ", "x"},   {" x", "x"},
    };
    for (auto c : cases) {
        std::string s = c.first;
        std::vector<char> buffer(s.begin(), s.end());
        buffer.push_back('\0');
        EXPECT_EQ(TrimBlanks(buffer.data()), buffer.data());
        EXPECT_STREQ(buffer.data(), c.second) << '"' << c.first << '"';
    }
}

} // namespace
