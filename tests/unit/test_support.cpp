// The shared test support checked on itself: a helper that stops seeing
// what it is there to see fails here, not silently in every program that
// relies on it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "fixture_path.h"
#include "heap_spray.h"
#include "hex.h"
#include "host_table.h"
#ifdef _WIN32
#include "watchdog.h"
#endif

namespace {

using Write = void (*)(HostParamBlock &);

TEST(Support, HostTableSeesEveryStrayWrite)
{
    const std::pair<const char *, Write> writes[] = {
        {"guard before the names", [](HostParamBlock &b) { b.NameSlots[-1] = 0; }},
        {"guard after the values", [](HostParamBlock &b) { b.ValueSlots[2 * 8] = 0; }},
        {"guard after the block",
         [](HostParamBlock &b) { reinterpret_cast<char *>(&b + 1)[0] = 0; }},
        {"host word", [](HostParamBlock &b) { b.HostWord9 = 0; }},
        {"capacity", [](HostParamBlock &b) { b.VariableCapacity = 3; }},
        {"slot array", [](HostParamBlock &b) { b.ValueSlots++; }},
        {"parameter text", [](HostParamBlock &b) { b.ParameterText = "p"; }},
        {"slot not in use", [](HostParamBlock &b) { std::memcpy(b.ValueSlots + 8, "x", 2); }},
        {"past a terminator", [](HostParamBlock &b) { std::memcpy(b.ValueSlots, "2\0x", 3); }},
        {"no terminator", [](HostParamBlock &b) { std::memset(b.ValueSlots, 'x', 8); }},
    };
    for (const auto &[what, write] : writes) {
        HostTable t(2, 8, 8);
        t.Append("%A%", "1");
        t.Parameters("1, 2");
        write(*t.block());
        EXPECT_FALSE(t.Intact()) << what;
    }
    // What the library may do: change a value, append an entry.
    HostTable t(2, 8, 8);
    t.Append("%A%", "1");
    std::memcpy(t.block()->ValueSlots, "22", 3);
    std::memcpy(t.block()->NameSlots + 8, "%B%", 4);
    t.block()->VariableCount = 2;
    EXPECT_TRUE(t.Intact());
    EXPECT_EQ(t.Get("A"), "22");
}

TEST(Support, HexPathsAndSpray)
{
    EXPECT_EQ(Hex(std::string("\0\x7f\xff", 3)), "007fff");
    EXPECT_EQ(Hex("ab", " "), " 61 62");
#ifdef _WIN32
    EXPECT_EQ(HostPath("/a/b.dll"), "Z:\\a\\b.dll");
    EXPECT_EQ(InFolder("QV_NO_SUCH_FOLDER", "c", "d/e"), "c\\d\\e");
#else
    EXPECT_EQ(InFolder("QV_NO_SUCH_FOLDER", "/c", "d"), "/c/d");
#endif
    HeapSpray spray;
    spray.Fill(0x41);
    ASSERT_FALSE(spray.live.empty());
    EXPECT_TRUE(spray.Kept(0x41));
    static_cast<char *>(spray.live.back().p)[spray.live.back().size - 1] = 0;
    EXPECT_FALSE(spray.Kept(0x41));
}

#ifdef _WIN32
TEST(Support, WatchdogEndsLongWorkAndRunawayMemory)
{
    const std::pair<SIZE_T, const char *> cases[] = {{0, "hang: "}, {1, "memory: "}};
    for (const auto &[memory_limit, cause] : cases) {
        static Watchdog w;
        w.limit_ms = 300;
        w.memory_limit = memory_limit;
        w.report = [](const char *what) { std::fprintf(stderr, "%s\n", what); };
        EXPECT_EXIT((StartWatchdog(w), w.Begin(), Sleep(20000)), ::testing::ExitedWithCode(4),
                    cause);
    }
}
#endif

} // namespace
