// IsQarvellClientRunning's decision, linked with a stand-in for the window
// lookup that records which classes were asked and answers from a set.
#include <gtest/gtest.h>

#include <set>
#include <string>
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
    struct Case {
        std::set<std::string> present;
        int32_t result;
        std::vector<std::string> asked;
    };
    const Case cases[] = {
        {{}, 0, {kFirst, kSecond}},
        {{kSecond}, 1, {kFirst, kSecond}},
        {{kFirst}, 1, {kFirst}},
        {{kFirst, kSecond}, 1, {kFirst}},
    };
    for (const Case &c : cases) {
        FakeWindows windows{c.present, {}};
        g_windows = &windows;
        HostTable t;
        t.Append("%A%", "1");
        std::string before = t.Snapshot();
        EXPECT_EQ(IsQarvellClientRunning(t.block()), c.result);
        EXPECT_EQ(windows.asked, c.asked);
        EXPECT_EQ(t.Snapshot(), before);
        windows.asked.clear();
        EXPECT_EQ(IsQarvellClientRunning(nullptr), c.result);
        EXPECT_EQ(windows.asked, c.asked);
        g_windows = nullptr;
    }
}

} // namespace
