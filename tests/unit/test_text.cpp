// The ASCII character classes and FormatDecimal.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>

#include "text/text.h"

namespace {

using namespace qv::text;

TEST(Text, ClassesAreAsciiOnly)
{
    for (int i = 0; i < 256; i++) {
        const char c = static_cast<char>(i);
        EXPECT_EQ(IsBlank(c), std::strchr(" \t\n\v\f\r", i) != nullptr && i != 0) << i;
        EXPECT_EQ(IsDigit(c), i >= '0' && i <= '9') << i;
        EXPECT_EQ(FoldAscii(c), i >= 'A' && i <= 'Z' ? static_cast<char>(i + 32) : c) << i;
    }
}

TEST(Text, FormatDecimal)
{
    const std::pair<int32_t, const char *> cases[] = {
        {0, "0"}, {-1, "-1"}, {42, "42"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (auto c : cases) {
        std::array<char, kDecimalSize> out;
        EXPECT_EQ(FormatDecimal(c.first, out), c.second);
        EXPECT_STREQ(out.data(), c.second);
    }
}

} // namespace
