// The ASCII character classes, FormatDecimal, NextVersionNumber and
// CompareVersionStrings.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"
#include "version/version_numbers.h"

namespace {

using namespace qv::text;
using namespace qv::version;

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

// Reads every component of `text` with NextVersionNumber.
std::vector<int32_t> ReadAll(std::string_view cursor)
{
    std::vector<int32_t> values;
    for (int guard = 0; !cursor.empty() && guard < 100; guard++)
        values.push_back(NextVersionNumber(cursor));
    EXPECT_EQ(NextVersionNumber(cursor), 0);
    EXPECT_TRUE(cursor.empty());
    return values;
}

TEST(VersionNumbers, ReadsComponentsAndOneSeparator)
{
    const std::pair<const char *, std::vector<int32_t>> cases[] = {
        {"4.72.3110", {4, 72, 3110}},
        {"4.72b.3", {4, 72, 0}}, // 'b' separates, '.3' starts with a separator
        {"4..5", {4, 0}},
        {"v4.0", {0, 0}},
        {" 72.1", {72, 1}},
        {"-3.2", {-3, 2}},
        {"+3", {3}},
        {"- 3", {0}},
        {"abc", {0}},
        {"4294967296", {0}},
        {"4294967295", {-1}},
        {"2147483648", {INT32_MIN}},
        {"1.", {1}},
        {"1-2", {1, 2}},
        {".", {0}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadAll(c.first), c.second) << c.first;
}

TEST(VersionNumbers, NextStopsPastOneSeparator)
{
    std::string_view cursor = "4.72b.3";
    EXPECT_EQ(NextVersionNumber(cursor), 4);
    EXPECT_EQ(cursor, "72b.3");
    EXPECT_EQ(NextVersionNumber(cursor), 72);
    EXPECT_EQ(cursor, ".3");
}

TEST(VersionNumbers, CompareIsAntisymmetricAndLeavesInputsAlone)
{
    const char first[] = "1.2.3";
    const char second[] = "1.2.4";
    EXPECT_EQ(CompareVersionStrings(first, second), -3);
    EXPECT_STREQ(first, "1.2.3");
    EXPECT_STREQ(second, "1.2.4");
    const char *versions[] = {"1", "1.0", "1.0.1", "2", "10.0.19041.1", "v1", "-1", "0.0.0.0.1"};
    for (const char *a : versions)
        for (const char *b : versions)
            EXPECT_EQ(CompareVersionStrings(a, b), -CompareVersionStrings(b, a)) << a << " " << b;
}

// The comparison as a plain reading with NextVersionNumber against
// CompareVersionStrings on random strings that share prefixes and mix
// digits, separators, blanks, signs and letters.
int32_t ComparePlainly(std::string_view p, std::string_view q)
{
    for (int32_t k = 1; !p.empty() || !q.empty(); k++) {
        int32_t u = NextVersionNumber(p), v = NextVersionNumber(q);
        if (u != v)
            return int32_t(uint32_t(u) - uint32_t(v)) < 0 ? -k : k;
    }
    return 0;
}

TEST(VersionNumbers, CompareMatchesPlainReading)
{
    const char alphabet[] = "0123456789..........--+ \tvb";
    std::minstd_rand random(12345);
    auto next = [&random](uint32_t n) { return uint32_t(random() % n); };
    auto random_text = [&](size_t length) {
        std::string text;
        for (size_t i = 0; i < length; i++)
            text += alphabet[next(sizeof alphabet - 1)];
        return text;
    };
    for (int i = 0; i < 200000; i++) {
        std::string prefix = random_text(next(10));
        std::string a = prefix + random_text(next(6));
        std::string b = prefix + random_text(next(6));
        ASSERT_EQ(CompareVersionStrings(a, b), ComparePlainly(a, b))
            << '"' << a << "\" vs \"" << b << '"';
    }
}

} // namespace
