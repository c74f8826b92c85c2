// IsQarvellClientRunning's decision, linked with a stand-in for the window
// lookup that records which classes were asked and answers from a set.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "host_table.h"
#include "platform/window.h"

namespace {

struct FakeWindows {
    std::set<std::string> present;
    std::vector<std::string> asked;
};

FakeWindows *g_windows = nullptr;

} // namespace

bool qv::platform::WindowClassExists(const char *class_name)
{
    g_windows->asked.push_back(class_name);
    return g_windows->present.count(class_name) != 0;
}

namespace {

const std::string kFirst = "QarvellWobexAppClass";
const std::string kSecond = "OverHereVornt";

TEST(ClientProbe, AsksInOrderAndStopsAtTheFirstFound)
{
    // The classes that have a window, the answer, the classes asked.
    const std::tuple<std::set<std::string>, int32_t, std::vector<std::string>> cases[] = {
        {{}, 0, {kFirst, kSecond}},
        {{kSecond}, 1, {kFirst, kSecond}},
        {{kFirst}, 1, {kFirst}},
        {{kFirst, kSecond}, 1, {kFirst}},
    };
    for (const auto &[present, result, asked] : cases) {
        FakeWindows windows{present, {}};
        g_windows = &windows;
        HostTable t;
        t.Append("%A%", "1");
        std::string before = t.Snapshot();
        EXPECT_EQ(IsQarvellClientRunning(t.block()), result);
        EXPECT_EQ(windows.asked, asked);
        EXPECT_EQ(t.Snapshot(), before);
        windows.asked.clear();
        EXPECT_EQ(IsQarvellClientRunning(nullptr), result);
        EXPECT_EQ(windows.asked, asked);
        g_windows = nullptr;
    }
}

} // namespace
