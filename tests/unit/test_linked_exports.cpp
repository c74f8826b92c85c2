// The CompareVersions and NormalizeMSIEVersion exports linked in.
#include <gtest/gtest.h>

#include <string>

#include "export_cases.h"
#include "host_table.h"

namespace {

TEST(CompareVersionsLinked, CasesAndNullBlock)
{
    CheckCompareCases(CompareVersions);
    EXPECT_EQ(CompareVersions(nullptr), 0);
}

TEST(NormalizeMSIEVersionLinked, CasesFullTableAndNullBlock)
{
    CheckNormalizeCases(NormalizeMSIEVersion);
    HostTable full(1);
    full.Append("%FileVersion%", "4.72.3110");
    std::string before = full.Snapshot();
    EXPECT_EQ(NormalizeMSIEVersion(full.block()), 0);
    EXPECT_EQ(full.Snapshot(), before);
    EXPECT_EQ(NormalizeMSIEVersion(nullptr), 0);
}

} // namespace
