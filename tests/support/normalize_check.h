// Runs every NormalizeMSIEVersion case through one function, linked in or
// found in the loaded module: the result, the neighbouring variables, the
// guard bytes, and that a second call changes nothing.
#ifndef QV_TESTS_NORMALIZE_CHECK_H
#define QV_TESTS_NORMALIZE_CHECK_H

#include <gtest/gtest.h>

#include <string>

#include "export_cases.h"
#include "host_table.h"

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
