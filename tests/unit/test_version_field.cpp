// QueryVersionField's and QueryVersionFieldEx's checks on what the version
// functions hand back, linked with a stand-in for them that fills a known
// block and answers each query with a scripted pointer (as an offset from the
// block, which may lie before it or past its end) and length.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "fileinfo/version_field.h"
#include "fileinfo/version_api.h"
#include "reader/version_file.h"

namespace {

struct Answer {
    bool found;
    int64_t offset;
    unsigned length;
};

constexpr Answer kNone = {false, 0, 0};

struct Script {
    uint16_t root_length;       // wLength at the block's start
    uint8_t layout_byte;        // byte 4: below ' ' the 32-bit layout
    Answer text;                // for the first string path asked
    Answer fixed;               // for "\"
    Answer later = kNone;       // for each string path asked after it
    Answer translation = kNone; // for "\VarFileInfo\Translation"
    uint32_t size = 0;          // the block's size, when not kSize
    bool no_api = false;        // the version functions cannot be had
};

// The block is kSize + 1 bytes: "text" at 16, a fixed record at 40 with the
// file version 1.2.3.4 and the product version 5.6.7.8, and from 150 on no
// zero byte to its end.
constexpr uint32_t kSize = 200;
const Script *g_script = nullptr;
int g_queries = 0;
int g_strings = 0; // string paths asked

constexpr Answer kText = {true, 16, 5};
constexpr Answer kFixed = {true, 40, 52};

using Rule = qv::fileinfo::FieldAnswer (*)(std::string_view path, std::string_view field);
constexpr Rule Plain = qv::fileinfo::AnswerVersionField;
constexpr Rule Ex = qv::fileinfo::AnswerVersionFieldEx;
using qv::reader::Refusal;
constexpr uint32_t kMaxBlock = qv::reader::kMaxVersionBlockSize;

TEST(VersionFieldChecks, AnswerOnlyFromInsideTheBlock)
{
    struct Case {
        const char *field;
        Script script;
        const char *expected;
        Rule rule = Plain;
        Refusal refusal = Refusal::none; // checked when given
    };
    using enum Refusal;
    const Case cases[] = {
        {"CompanyName", {98, 0, kText, kNone}, "text"},
        {"FileVersion", {98, 0, kNone, kFixed}, "5.6.7.8"},
        {"FileVersion", {98, 0, {true, 16, 0}, kFixed}, "5.6.7.8"}, // empty: fall back
        // The root claims more than the block holds: never queried.
        {"CompanyName", {kSize + 2, 0, kText, kNone}, nullptr},
        {"CompanyName", {kSize + 2, 'V', kText, kNone}, nullptr}, // 16-bit layout
        {"CompanyName", {0xffff, 0xff, kText, kNone}, nullptr},
        {"CompanyName", {kSize + 2, 0, kText, kNone}, nullptr, Ex},
        // A string before the block, past it, running past it, or unended.
        {"CompanyName", {98, 0, {true, -8, 5}, kNone}, nullptr, Plain, value_outside_block},
        {"CompanyName", {98, 0, {true, kSize + 1, 1}, kNone}, nullptr},
        {"CompanyName", {98, 0, {true, 16, kSize}, kNone}, nullptr},
        {"CompanyName", {98, 0, {true, 150, 10}, kNone}, nullptr, Plain, no_terminator},
        // A fixed record short, before the block, past it, or across its end.
        {"FileVersion", {98, 0, kNone, {true, 40, 51}}, nullptr},
        {"FileVersion", {98, 0, kNone, {true, -52, 52}}, nullptr},
        {"FileVersion", {98, 0, kNone, {true, 12 + kSize + 1, 22578}}, nullptr},
        {"FileVersion", {98, 0, kNone, {true, kSize + 1 - 40, 52}}, nullptr},
        // GetFileVersionEx goes on to the next table when one has no string;
        // one outside the block or unended ends the search: no later table,
        // no fallback.
        {"CompanyName", {98, 0, kNone, kNone, kText}, "text", Ex},
        {"CompanyName", {98, 0, {true, -8, 5}, kNone, kText}, nullptr, Ex},
        {"CompanyName", {98, 0, {true, kSize + 1, 1}, kNone, kText}, nullptr, Ex},
        {"CompanyName", {98, 0, {true, 16, kSize}, kNone, kText}, nullptr, Ex},
        {"CompanyName", {98, 0, {true, 150, 10}, kNone, kText}, nullptr, Ex},
        {"FileVersion", {98, 0, kNone, kFixed}, "1.2.3.4", Ex},
        {"FileVersion", {98, 0, {true, -8, 5}, kFixed}, nullptr, Ex},
        {"ProductVersionNumber", {98, 0, kText, kFixed}, "5.6.7.8", Ex},
        // A translation list not inside the block is no list.
        {"CompanyName", {98, 0, kText, kNone, kNone, {true, -8, 8}}, "text", Ex},
        // The largest size read, and the smallest refused: told, not read.
        {"CompanyName", {98, 0, kText, kNone, kNone, kNone, kMaxBlock - 1}, "text"},
        {"CompanyName", {98, 0, kText, kNone, kNone, kNone, kMaxBlock}, nullptr},
        {"CompanyName", {98, 0, kText, kNone, kNone, kNone, 0, true}, nullptr},
    };
    for (const Case &c : cases) {
        g_script = &c.script;
        g_queries = g_strings = 0;
        const auto answer = c.rule("file.dll", c.field);
        EXPECT_STREQ(answer.text.get(), c.expected) << "row " << &c - cases;
        if (c.refusal != Refusal::none) {
            EXPECT_EQ(answer.refusal, c.refusal) << "row " << &c - cases;
        }
        if (c.script.root_length > kSize + 1) {
            EXPECT_EQ(g_queries, 0) << "row " << &c - cases;
        }
    }
    g_script = nullptr;
}

} // namespace

// The stand-in for the version functions, answering as g_script says.
namespace qv::fileinfo {

struct VersionApi {};

void CloseVersionApi(VersionApi *)
{
}

VersionApiHandle OpenVersionApi(TextForm)
{
    static VersionApi api;
    return VersionApiHandle(g_script != nullptr && g_script->no_api ? nullptr : &api);
}

uint32_t ApiInfoSize(VersionApi &, const char *, uint32_t *handle)
{
    *handle = 0;
    return g_script != nullptr && g_script->size != 0 ? g_script->size : kSize;
}

bool ApiInfoRead(VersionApi &, const char *, uint32_t, uint32_t length, void *data)
{
    auto *b = static_cast<uint8_t *>(data);
    // The block's length: the size the platform gave, and one zero byte.
    EXPECT_EQ(length, (g_script->size != 0 ? g_script->size : kSize) + 1);
    length = length > kSize + 1 ? kSize + 1 : length; // the rest stays as allocated: zeros
    std::memset(b, 0, length);
    b[0] = uint8_t(g_script->root_length);
    b[1] = uint8_t(g_script->root_length >> 8);
    b[4] = g_script->layout_byte;
    std::memcpy(b + 16, "text", 5);
    const uint8_t versions[16] = {2, 0, 1, 0, 4, 0, 3, 0, 6, 0, 5, 0, 8, 0, 7, 0};
    std::memcpy(b + 40 + 8, versions, sizeof versions);
    std::memset(b + 150, 'A', length - 150);
    return true;
}

bool ApiValueQuery(VersionApi &, const void *block, const char *sub_block, void **buffer,
                   unsigned *length)
{
    const std::string_view path = sub_block;
    const Answer &a = path == "\\"                           ? g_script->fixed
                      : path == "\\VarFileInfo\\Translation" ? g_script->translation
                      : g_strings++ == 0                     ? g_script->text
                                                             : g_script->later;
    g_queries++;
    if (!a.found)
        return false;
    *buffer = reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(block) + a.offset);
    *length = a.length;
    return true;
}

// The wide queries find what the 8-bit ones find; their lengths count units.
bool ApiWideValueQuery(VersionApi &api, const void *block, const char *sub_block, void **buffer,
                       unsigned *length)
{
    return ApiValueQuery(api, block, sub_block, buffer, length);
}

reader::Refusal ApiSizeRefusal(const VersionApi &)
{
    return reader::Refusal::none;
}

} // namespace qv::fileinfo
