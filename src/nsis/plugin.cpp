// The NSIS plug-in qvnsis.dll: the exports' five functions for NSIS
// scripts. Each pops its own arguments from the installer's stack (a
// missing one is ""), asks the same rules the exports ask, pushes exactly
// one string, cut to the installer's string size, and sets the error flag
// when that string is empty, clears it otherwise. Built once per NSIS
// flavour: the ANSI one passes the ANSI code page's text as the exports do;
// the Unicode ones pass paths as UTF-8 and answer with the file's own UTF-16
// text (fileinfo::TextForm::wide).
#include <windows.h>

#include <nsis/pluginapi.h>

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>

#include "fileinfo/version_field.h"
#include "fileinfo/version_fields.h"
#include "memory/heap.h"
#include "nsis/utf8.h"
#include "probe/client_probe.h"
#include "text/text.h"
#include "version/normalize.h"
#include "version/version_numbers.h"

namespace {

using namespace qv;

// The rules in the flavour's form.
#ifdef UNICODE
constexpr auto kPlainRule = fileinfo::AnswerVersionFieldWide;
constexpr auto kExRule = fileinfo::AnswerVersionFieldExWide;
#else
constexpr auto kPlainRule = fileinfo::AnswerVersionField;
constexpr auto kExRule = fileinfo::AnswerVersionFieldEx;
#endif

// `s` without ASCII blanks at either end, as the exports trim their
// parameters.
std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && text::IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && text::IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// One call's view of the installer: its string size in characters, and
// its error flag (none when the installer gave no extra parameters).
struct Call {
    std::size_t string_size = 0;
    int *error = nullptr;
};

// Takes the installer's arguments. False when there is no stack or no room
// for a string: nothing can be popped or pushed then.
bool StartCall(Call &call, int string_size, TCHAR *variables, stack_t **stacktop,
               extra_parameters *extra)
{
    if (stacktop == nullptr || string_size <= 0)
        return false;
    EXDLL_INIT();
    call.string_size = static_cast<std::size_t>(string_size);
    call.error =
        extra != nullptr && extra->exec_flags != nullptr ? &extra->exec_flags->exec_error : nullptr;
    return true;
}

// The argument on top of the stack, at most string_size - 1 characters
// (popstringn copies no more and reads no further); "" when the stack is
// empty or there is no memory. The buffer is the caller's, string_size long.
using Text = memory::HeapPtr<TCHAR[]>;

Text PopArgument(const Call &call)
{
    Text text = memory::AllocateArray<TCHAR>(call.string_size);
    if (!text)
        return text;
    text[0] = 0;
    if (popstringn(text.get(), static_cast<int>(call.string_size)) != 0)
        text[0] = 0;
    return text;
}

std::basic_string_view<TCHAR> View(const Text &text)
{
    return text ? std::basic_string_view<TCHAR>(text.get()) : std::basic_string_view<TCHAR>();
}

// An argument as the rules take it: the ANSI flavour's bytes as they are,
// the Unicode flavours' characters as UTF-8. Kept with its storage.
struct RuleText {
    memory::HeapPtr<char> owned;
    std::string_view text;
};

RuleText ForRules(const Text &argument)
{
#ifdef UNICODE
    RuleText out{nsis::Utf8FromUtf16(View(argument)), {}};
    out.text = out.owned ? std::string_view(out.owned.get()) : std::string_view();
    return out;
#else
    return {{}, View(argument)};
#endif
}

// Pushes the answer, cut to string_size - 1 characters (never between the
// two halves of a surrogate pair), and sets the error flag when it is
// empty. Without memory for the copy it pushes "" and sets the flag.
template <typename Unit>
void Answer(const Call &call, std::basic_string_view<Unit> answer)
{
    Text out = memory::AllocateArray<TCHAR>(call.string_size);
    std::size_t count = 0;
    if (out) {
        count = std::min(answer.size(), call.string_size - 1);
        if (sizeof(Unit) == 2 && count > 0 && count < answer.size() &&
            (answer[count - 1] & 0xFC00) == 0xD800)
            count--;
        for (std::size_t i = 0; i < count; i++)
            out[i] = static_cast<TCHAR>(answer[i]);
        out[count] = 0;
    }
    static constexpr TCHAR kEmpty[1] = {0};
    pushstring(out ? out.get() : kEmpty);
    if (call.error != nullptr)
        *call.error = count == 0 ? 1 : 0;
}

// ASCII text (numbers, versions), widened for the Unicode flavours.
void AnswerAscii(const Call &call, std::string_view ascii)
{
    Answer<char>(call, ascii);
}

using FieldRule = fileinfo::FieldAnswer (*)(std::string_view path, std::string_view field);

// PATH FIELD: FIELD "" means FileVersion.
void AnswerField(const Call &call, FieldRule rule)
{
    const Text path = PopArgument(call);
    const Text field = PopArgument(call);
    const RuleText path_text = ForRules(path);
    const RuleText field_text = ForRules(field);
    const std::string_view name = TrimBlanks(field_text.text);
    const fileinfo::FieldAnswer answer =
        rule(TrimBlanks(path_text.text), name.empty() ? fileinfo::kVersionFields[0] : name);
#ifdef UNICODE
    Answer<char16_t>(call, answer.wide ? answer.wide.get() : u"");
#else
    Answer<char>(call, answer.text ? answer.text.get() : "");
#endif
}

} // namespace

// NSIS calls plug-in functions with the C calling convention.
#define QVNSIS_FUNCTION(name)                                                                      \
    extern "C" __declspec(dllexport) void __cdecl name(HWND /*parent*/, int string_size,           \
                                                       TCHAR *variables, stack_t **stacktop,       \
                                                       extra_parameters *extra)

QVNSIS_FUNCTION(GetFileVersion)
{
    Call call;
    if (StartCall(call, string_size, variables, stacktop, extra))
        AnswerField(call, kPlainRule);
}

QVNSIS_FUNCTION(GetFileVersionEx)
{
    Call call;
    if (StartCall(call, string_size, variables, stacktop, extra))
        AnswerField(call, kExRule);
}

// FIRST SECOND: the export's number as text.
QVNSIS_FUNCTION(CompareVersions)
{
    Call call;
    if (!StartCall(call, string_size, variables, stacktop, extra))
        return;
    const Text first = PopArgument(call);
    const Text second = PopArgument(call);
    const RuleText first_text = ForRules(first);
    const RuleText second_text = ForRules(second);
    const int32_t result =
        version::CompareVersionStrings(TrimBlanks(first_text.text), TrimBlanks(second_text.text));
    std::array<char, text::kDecimalSize> buffer;
    AnswerAscii(call, text::FormatDecimal(result, buffer));
}

// VERSION: its four-part form, or VERSION as given where the export would
// leave its variable as it is.
QVNSIS_FUNCTION(NormalizeMSIEVersion)
{
    Call call;
    if (!StartCall(call, string_size, variables, stacktop, extra))
        return;
    const Text value = PopArgument(call);
    const RuleText value_text = ForRules(value);
    // The export reads its variable cut at 255 characters.
    const std::string_view version = value_text.text.substr(0, 255);
    version::NormalizedVersion normalized;
    if (version::NormalizeVersion(TrimBlanks(version), normalized))
        AnswerAscii(call, normalized.text());
    else
        Answer<TCHAR>(call, View(value));
}

// "1" when the client runs, else "0".
QVNSIS_FUNCTION(IsQarvellClientRunning)
{
    Call call;
    if (StartCall(call, string_size, variables, stacktop, extra))
        AnswerAscii(call, probe::ClientRunning() ? "1" : "0");
}
