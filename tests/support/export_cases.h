// Calls of the exports and what a script then sees, shared by the tests of
// the linked-in logic and the tests of the loaded module, and the checks
// that run every case through one function, linked in or found in the module.
#ifndef QV_TESTS_EXPORT_CASES_H
#define QV_TESTS_EXPORT_CASES_H

#include <gtest/gtest.h>

#include <string>

#include "host_table.h"

struct CompareCase {
    const char *parameters; // null: no parameter text
    const char *delta;      // expected "VersionDelta"
};

inline const CompareCase kCompareCases[] = {
    {"4.72.3110, 5.0.2614.3500", "-1"},
    {"5.0.2614.3500, 4.72.3110", "1"},
    {"1.2.3, 1.2.4", "-3"},
    {"2.0, 1.9", "1"},
    {"1.0, 1.0.0", "0"},
    {"4.0, 4.0.1", "-3"},
    {"4.72.3110, 4.72.0.3110", "3"},
    {" 4.72 , 4.72 ", "0"},
    {"v4.0, 4.0", "-1"},
    {"4.72b.3, 4.72.3", "-3"},
    {"4..5, 4.0.5", "-3"},
    {"1-2, 1.2", "0"},
    {"-1, 0", "-1"},
    {"abc, 0", "0"},
    {"1.0", ""},
    {nullptr, ""},
    {"", ""},
    {",", "0"},
    {"1, 2, 3", "-1"},
    {"\t10.0.19041.1\r\n,10.0.19041.2", "-4"},
    // Components wrap modulo 2^32 and compare by the sign of the difference.
    {"4294967297, 1", "0"},
    {"2147483648, 0", "-1"},
    {"+7, 7", "0"},
    {"10, 9", "1"},
    {"1.2.3.4.5.6.7.8.9.10.11, 1.2.3.4.5.6.7.8.9.10.12", "-11"},
};

struct NormalizeCase {
    std::string before;  // "FILEVERSION" before the call
    std::string after;   // and after it
    bool present = true; // false: no "FILEVERSION" before the call
};

// The value is read cut at 255 characters: what lies past that never counts.
inline const std::string kBlanksThenDigits = "1.2.3" + std::string(250, ' ') + std::string(45, '9');
inline const std::string kZerosThenDigits =
    "1.2." + std::string(250, '0') + "7" + std::string(45, '8');

inline const NormalizeCase kNormalizeCases[] = {
    {"4.72.3110", "4.72.0.3110"},
    {"4.72.0.3110", "4.72.0.3110"},
    {"5.0.2614.3500", "5.0.2614.3500"},
    {"4.72.3110.0", "4.72.3110.0"},
    {"4.72", "4.72.0.0"},
    {"5", "5.0.0.0"},
    {"", "0.0.0.0"},
    {"", "0.0.0.0", false},
    {"  4.72.3110  ", "4.72.0.3110"},
    {"\t4.72.3110\r\n", "4.72.0.3110"},
    {"4.72.3110.", "4.72.0.3110"},
    {"4.72.3110b", "4.72.0.3110"},
    {"4.72.3110-1", "4.72.3110-1"},
    {"4, 72, 3110", "4.72.0.3110"},
    {"v4.72.3110", "0.72.0.3110"},
    {"-4.72.3110", "-4.72.0.3110"},
    {"4.72.4294967297", "4.72.0.1"},
    {"2147483647.2147483648.4294967295", "2147483647.-2147483648.0.-1"},
    {"abc", "0.0.0.0"},
    {"4..3110", "4.0.0.0"}, // ".3110" reads as 0, as in CompareVersions
    {kBlanksThenDigits, "1.2.0.3"},
    {kZerosThenDigits, "1.2.0.7"},
};

// The result, the neighbouring variables and the guard bytes.
inline void CheckCompareCases(QvSetupExport compare)
{
    ASSERT_NE(compare, nullptr);
    for (const CompareCase &c : kCompareCases) {
        HostTable t;
        t.Append("%Before%", "1");
        t.Append("%VersionDelta%", "stale");
        t.Parameters(c.parameters);
        EXPECT_EQ(compare(t.block()), 0);
        EXPECT_EQ(t.Get("VersionDelta"), c.delta) << (c.parameters ? c.parameters : "(null)");
        EXPECT_EQ(t.count(), 2u);
        EXPECT_EQ(t.Get("Before"), "1");
        EXPECT_TRUE(t.Intact());
    }
}

// The same for NormalizeMSIEVersion, and that a second call changes nothing.
inline void CheckNormalizeCases(QvSetupExport normalize)
{
    ASSERT_NE(normalize, nullptr);
    for (const NormalizeCase &c : kNormalizeCases) {
        HostTable t(8, 64, 512);
        t.Append("%FileVersion%", "9.9.9");
        if (c.present)
            t.Append("%FILEVERSION%", c.before);
        t.Append("%After%", "1");
        t.Parameters("1.2.3"); // ignored
        std::string before = t.Snapshot();
        EXPECT_EQ(normalize(t.block()), 0);
        EXPECT_EQ(t.Get("FILEVERSION"), c.after) << '"' << c.before << '"';
        EXPECT_EQ(t.Get("FileVersion"), "9.9.9");
        EXPECT_EQ(t.Get("After"), "1");
        EXPECT_EQ(t.count(), 3u);
        EXPECT_TRUE(t.Intact());
        if (c.present && c.after == c.before) {
            EXPECT_EQ(t.Snapshot(), before) << '"' << c.before << '"';
        }
        // Four-part (or foreign) text is left alone: a second call is a no-op.
        std::string once = t.Snapshot();
        normalize(t.block());
        EXPECT_EQ(t.Snapshot(), once) << '"' << c.before << '"';
    }
}

#endif
