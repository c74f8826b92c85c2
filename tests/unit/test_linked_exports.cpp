// The CompareVersions export linked in.
#include <gtest/gtest.h>

#include "export_cases.h"
#include "host_table.h"

namespace {

TEST(CompareVersionsLinked, EdgeCases)
{
    for (const CompareCase &c : kCompareCases) {
        HostTable t;
        t.Append("%Other%", "keep");
        t.Parameters(c.parameters);
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
