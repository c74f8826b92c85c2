// QueryVersionField's checks on what the version functions hand back, linked
// with a stand-in for them that fills a known block and answers each query
// with a scripted pointer (as an offset from the block, which may lie before
// it or past its end) and length.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fileinfo/version_field.h"
#include "fileinfo/version_api.h"

namespace {

struct Answer {
    bool found;
    int64_t offset;
    unsigned length;
};

struct Script {
    uint16_t root_length; // wLength at the block's start
    uint8_t layout_byte;  // byte 4: below ' ' the 32-bit layout
    Answer text;          // for the field's string path
    Answer fixed;         // for "\"
    int queries;
};

// The block is kSize + 1 bytes: "text" at 16, a fixed record at 40 with the
// product version 5.6.7.8, and from 150 on no zero byte to its end.
constexpr uint32_t kSize = 200;
Script *g_script = nullptr;

} // namespace

namespace qv::fileinfo {

struct VersionApi {
    int unused;
};

void CloseVersionApi(VersionApi *)
{
}

VersionApiHandle OpenVersionApi()
{
    static VersionApi api;
    return VersionApiHandle(&api);
}

uint32_t VersionInfoSize(VersionApi &, const char *, uint32_t *handle)
{
    *handle = 0;
    return kSize;
}

bool VersionInfoRead(VersionApi &, const char *, uint32_t, uint32_t length, void *data)
{
    auto *b = static_cast<uint8_t *>(data);
    std::memset(b, 0, length);
    b[0] = uint8_t(g_script->root_length);
    b[1] = uint8_t(g_script->root_length >> 8);
    b[4] = g_script->layout_byte;
    std::memcpy(b + 16, "text", 5);
    const uint8_t product[8] = {6, 0, 5, 0, 8, 0, 7, 0};
    std::memcpy(b + 40 + 16, product, sizeof product);
    std::memset(b + 150, 'A', length - 150);
    return true;
}

bool VersionValueQuery(VersionApi &, const void *block, const char *sub_block, void **buffer,
                       unsigned *length)
{
    g_script->queries++;
    const Answer &a = std::strcmp(sub_block, "\\") == 0 ? g_script->fixed : g_script->text;
    if (!a.found)
        return false;
    *buffer = reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(block) + a.offset);
    *length = a.length;
    return true;
}

} // namespace qv::fileinfo

namespace {

constexpr Answer kNone = {false, 0, 0};
constexpr Answer kText = {true, 16, 5};
constexpr Answer kFixed = {true, 40, 52};

TEST(VersionFieldChecks, AnswerOnlyFromInsideTheBlock)
{
    struct Case {
        const char *field;
        Script script;
        const char *expected;
    };
    const Case cases[] = {
        {"CompanyName", {98, 0, kText, kNone, 0}, "text"},
        {"FileVersion", {98, 0, kNone, kFixed, 0}, "5.6.7.8"},
        {"FileVersion", {98, 0, {true, 16, 0}, kFixed, 0}, "5.6.7.8"}, // empty: fall back
        // The root claims more than the block holds: never queried.
        {"CompanyName", {kSize + 2, 0, kText, kNone, 0}, nullptr},
        {"CompanyName", {kSize + 2, 'V', kText, kNone, 0}, nullptr}, // 16-bit layout
        {"CompanyName", {0xffff, 0xff, kText, kNone, 0}, nullptr},
        // A string before the block, past it, running past it, or unended.
        {"CompanyName", {98, 0, {true, -8, 5}, kNone, 0}, nullptr},
        {"CompanyName", {98, 0, {true, kSize + 1, 1}, kNone, 0}, nullptr},
        {"CompanyName", {98, 0, {true, 16, kSize}, kNone, 0}, nullptr},
        {"CompanyName", {98, 0, {true, 150, 10}, kNone, 0}, nullptr},
        // A fixed record short, before the block, past it, or across its end.
        {"FileVersion", {98, 0, kNone, {true, 40, 51}, 0}, nullptr},
        {"FileVersion", {98, 0, kNone, {true, -52, 52}, 0}, nullptr},
        {"FileVersion", {98, 0, kNone, {true, 12 + kSize + 1, 22578}, 0}, nullptr},
        {"FileVersion", {98, 0, kNone, {true, kSize + 1 - 40, 52}, 0}, nullptr},
    };
    for (const Case &c : cases) {
        Script script = c.script;
        g_script = &script;
        const auto value = qv::fileinfo::QueryVersionField("file.dll", c.field);
        EXPECT_STREQ(value.get(), c.expected)
            << c.field << " root " << c.script.root_length << " text at " << c.script.text.offset
            << " fixed at " << c.script.fixed.offset;
        if (c.script.root_length > kSize + 1) {
            EXPECT_EQ(script.queries, 0);
        }
    }
    g_script = nullptr;
}

} // namespace
