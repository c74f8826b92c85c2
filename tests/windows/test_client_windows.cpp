// IsQarvellClientRunning in the loaded module against real top-level windows
// of this process. Needs a display (under Wine: an X server); without
// DISPLAY every case reports itself skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "host_table.h"
#include "memory/heap.h"
#include "module_beside.h"

namespace {

const char kFirst[] = "QarvellWobexAppClass";
const char kSecond[] = "OverHereVornt";
const char kOther[] = "QvSetupTestOther";

// A hidden top-level window, destroyed with the pointer.
using TopWindow = qv::memory::Owned<std::remove_pointer_t<HWND>, DestroyWindow>;

TopWindow OpenWindow(const char *class_name, const char *title)
{
    return TopWindow(CreateWindowExA(0, class_name, title, WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
}

class ClientWindows : public ModuleBeside {
protected:
    static bool HasDisplay() { return std::getenv("DISPLAY") != nullptr; }

    static void SetUpTestSuite()
    {
        if (!HasDisplay())
            return;
        for (const char *name : {kFirst, kSecond, kOther}) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = name;
            ASSERT_NE(RegisterClassA(&wc), 0) << name;
        }
        ModuleBeside::SetUpTestSuite();
    }

    void SetUp() override
    {
        if (!HasDisplay())
            GTEST_SKIP() << "no DISPLAY (./qv test provides one)";
    }
};

TEST_F(ClientWindows, HiddenWindowsAreFoundByClass)
{
    TopWindow window = OpenWindow(kOther, "");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindWindowA(kOther, nullptr), window.get());
}

TEST_F(ClientWindows, AnswersFromTheWindowsThatExist)
{
    // What the row is, the windows open (class and title), the answer.
    using Windows = std::vector<std::pair<const char *, const char *>>;
    const std::tuple<const char *, Windows, int32_t> cases[] = {
        {"no window", {}, 0},
        {"second class only", {{kSecond, ""}}, 1},
        {"first class", {{kFirst, ""}}, 1},
        {"both classes", {{kFirst, ""}, {kSecond, ""}}, 1},
        {"another class titled as the first", {{kOther, kFirst}}, 0},
        {"another class titled as the second", {{kOther, kSecond}}, 0},
        {"back to no window", {}, 0},
    };
    QvSetupExport by_name = ByName("IsQarvellClientRunning");
    ASSERT_NE(by_name, nullptr);
    ASSERT_EQ(by_name, ByOrdinal(4));
    for (const auto &[what, open, result] : cases) {
        std::vector<TopWindow> windows;
        for (const auto &[class_name, title] : open) {
            windows.push_back(OpenWindow(class_name, title));
            ASSERT_NE(windows.back(), nullptr) << what;
        }
        HostTable t;
        t.Append("%FILEVERSION%", "4.72.3110");
        t.Parameters("OverHereVornt");
        std::string before = t.Snapshot();
        EXPECT_EQ(by_name(t.block()), result) << what;
        EXPECT_EQ(t.Snapshot(), before) << what;
        EXPECT_EQ(by_name(nullptr), result) << what;
        windows.clear();
        EXPECT_EQ(FindWindowA(kFirst, nullptr), nullptr) << what;
        EXPECT_EQ(FindWindowA(kSecond, nullptr), nullptr) << what;
    }
}

} // namespace
