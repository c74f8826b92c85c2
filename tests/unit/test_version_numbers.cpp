// NextVersionNumber, CompareVersionStrings, FormatDecimal, and the
// CompareVersions export linked in.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "export_cases.h"
#include "host_table.h"
#include "version/version_numbers.h"

namespace {

// Reads every component of `text` with NextVersionNumber and checks that the
// read-only scanner stops at the same places with the same values.
std::vector<int32_t> ReadAll(const std::string &text)
{
    std::vector<char> work(text.begin(), text.end());
    work.push_back('\0');
    char *cursor = work.data();
    const char *scan = text.c_str();
    std::vector<int32_t> values;
    for (int guard = 0; *cursor != '\0' && guard < 100; guard++) {
        int32_t value = NextVersionNumber(&cursor);
        EXPECT_EQ(ScanVersionNumber(&scan), value) << text;
        EXPECT_EQ(scan - text.c_str(), cursor - work.data()) << text;
        values.push_back(value);
    }
    EXPECT_EQ(NextVersionNumber(&cursor), 0);
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

TEST(VersionNumbers, NextWritesTerminatorAtSeparator)
{
    char text[] = "4.72b.3";
    char *cursor = text;
    EXPECT_EQ(NextVersionNumber(&cursor), 4);
    EXPECT_EQ(cursor, text + 2);
    EXPECT_EQ(text[1], '\0');
    EXPECT_EQ(NextVersionNumber(&cursor), 72);
    EXPECT_EQ(text[4], '\0');
    EXPECT_STREQ(cursor, ".3");
}

TEST(VersionNumbers, CompareLeavesInputsAlone)
{
    const char first[] = "1.2.3";
    const char second[] = "1.2.4";
    EXPECT_EQ(CompareVersionStrings(first, second), -3);
    EXPECT_STREQ(first, "1.2.3");
    EXPECT_STREQ(second, "1.2.4");
}

TEST(VersionNumbers, CompareIsAntisymmetric)
{
    const char *versions[] = {"1", "1.0", "1.0.1", "2", "10.0.19041.1", "v1", "-1", "0.0.0.0.1"};
    for (const char *a : versions)
        for (const char *b : versions)
            EXPECT_EQ(CompareVersionStrings(a, b), -CompareVersionStrings(b, a)) << a << " " << b;
}

// The comparison as a plain reading on private copies, cutting them with
// NextVersionNumber, against CompareVersionStrings on random strings that
// share prefixes and mix digits, separators, blanks, signs and letters.
int32_t CompareOnCopies(const std::string &a, const std::string &b)
{
    std::vector<char> x(a.begin(), a.end()), y(b.begin(), b.end());
    x.push_back('\0');
    y.push_back('\0');
    char *p = x.data(), *q = y.data();
    for (int32_t k = 1; *p != '\0' || *q != '\0'; k++) {
        int32_t u = NextVersionNumber(&p), v = NextVersionNumber(&q);
        if (u != v)
            return int32_t(uint32_t(u) - uint32_t(v)) < 0 ? -k : k;
    }
    return 0;
}

TEST(VersionNumbers, CompareMatchesPlainReadingOnCopies)
{
    const char alphabet[] = "0123456789..........--+ \tvb";
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
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
        ASSERT_EQ(CompareVersionStrings(a.c_str(), b.c_str()), CompareOnCopies(a, b))
            << '"' << a << "\" vs \"" << b << '"';
    }
}

TEST(VersionNumbers, FormatDecimal)
{
    const std::pair<int32_t, const char *> cases[] = {
        {0, "0"}, {-1, "-1"}, {42, "42"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (auto c : cases) {
        char out[12];
        EXPECT_EQ(FormatDecimal(c.first, out), int(strlen(c.second)));
        EXPECT_STREQ(out, c.second);
    }
}

TEST(CompareVersionsLinked, EdgeCases)
{
    for (const CompareCase &c : kCompareCases) {
        HostTable t;
        t.Append("%Other%", "keep");
        t.block()->ParameterText = c.parameters;
        EXPECT_EQ(CompareVersions(t.block()), 0);
        EXPECT_EQ(t.Get("VersionDelta"), c.delta) << (c.parameters ? c.parameters : "(null)");
        EXPECT_EQ(t.Get("Other"), "keep");
        EXPECT_TRUE(t.Intact());
    }
}

TEST(CompareVersionsLinked, NullBlockWritesNothing)
{
    EXPECT_EQ(CompareVersions(nullptr), 0);
}

} // namespace
