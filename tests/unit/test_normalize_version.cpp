// The NormalizeMSIEVersion export linked in.
#include <gtest/gtest.h>

#include <string>

#include "host_table.h"
#include "normalize_check.h"

namespace {

TEST(NormalizeMSIEVersionLinked, Cases)
{
    CheckNormalizeCases(NormalizeMSIEVersion);
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
