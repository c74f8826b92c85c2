// The NormalizeMSIEVersion export linked in.
#include <gtest/gtest.h>

#include <string>

#include "export_cases.h"
#include "host_table.h"

namespace {

TEST(NormalizeMSIEVersionLinked, Cases)
{
    for (const NormalizeCase &c : kNormalizeCases) {
        HostTable t(8, 64, 512);
        t.Append("%FileVersion%", "9.9.9");
        if (c.present)
            t.Append("%FILEVERSION%", c.before);
        t.block()->ParameterText = "1.2.3"; // ignored
        std::string before = t.Snapshot();
        EXPECT_EQ(NormalizeMSIEVersion(t.block()), 0);
        EXPECT_EQ(t.Get("FILEVERSION"), c.after) << '"' << c.before << '"';
        EXPECT_EQ(t.Get("FileVersion"), "9.9.9");
        EXPECT_EQ(t.count(), 2u);
        EXPECT_TRUE(t.Intact());
        if (c.present && c.after == c.before) {
            EXPECT_EQ(t.Snapshot(), before) << '"' << c.before << '"';
        }
        // Four-part (or foreign) text is left alone: a second call is a no-op.
        std::string once = t.Snapshot();
        NormalizeMSIEVersion(t.block());
        EXPECT_EQ(t.Snapshot(), once) << '"' << c.before << '"';
    }
}

TEST(NormalizeMSIEVersionLinked, FullTableAndNullBlock)
{
    HostTable full(1);
    full.Append("%FileVersion%", "4.72.3110");
    std::string before = full.Snapshot();
    EXPECT_EQ(NormalizeMSIEVersion(full.block()), 0);
    EXPECT_EQ(full.Snapshot(), before);
    EXPECT_EQ(NormalizeMSIEVersion(nullptr), 0);
}

} // namespace
