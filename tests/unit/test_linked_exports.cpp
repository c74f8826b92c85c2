// The CompareVersions and NormalizeMSIEVersion exports linked in; every
// export linked in answers a null block with 0.
#include <gtest/gtest.h>

#include <string>

#include "export_cases.h"
#include "host_table.h"

namespace {

TEST(CompareVersionsLinked, CasesAndNullBlock)
{
    CheckCompareCases(CompareVersions);
    EXPECT_EQ(CompareVersions(nullptr), 0);
    EXPECT_EQ(GetFileVersion(nullptr), 0);
    EXPECT_EQ(GetFileVersionEx(nullptr), 0);
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
