// The Windows build's version operations (fileinfo/version_api_windows.cpp),
// linked in: VerQueryValueA does not know a block's length, so a query goes
// to it only on the block last read, whose length the judge knows. (The
// portable build's are tested with the reader, in tests/fileinfo.)
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fileinfo/version_api.h"

namespace {

using namespace qv::fileinfo;

TEST(VersionApi, QueriesOnlyTheBlockLastRead)
{
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::string path = std::string(folder) + "\\kernel32.dll";
    const VersionApiHandle api = OpenVersionApi();
    ASSERT_TRUE(api);
    uint32_t handle = 0;
    const uint32_t size = ApiInfoSize(*api, path.c_str(), &handle);
    ASSERT_NE(size, 0u);
    std::vector<unsigned char> block(size + 1, 0);
    ASSERT_TRUE(ApiInfoRead(*api, path.c_str(), handle, size + 1, block.data()));
    const std::vector<unsigned char> copy = block;
    void *pointer = nullptr;
    unsigned value_length = 0;
    EXPECT_TRUE(ApiValueQuery(*api, block.data(), "\\", &pointer, &value_length));
    EXPECT_FALSE(ApiValueQuery(*api, copy.data(), "\\", &pointer, &value_length));
}

} // namespace
#endif
