// The Unicode plug-in's file calls on the portable build: reads
// check_nsis.py's list (UTF-8 here: function, path, field, a line each) and
// writes the records the installer writes (UTF-16LE: error flag, "1", the
// answer, a NUL), from the rules' wide form.
//   wide_calls CALLS ANSWERS
#include <fstream>
#include <string>

#include "fileinfo/version_field.h"

int main(int argc, char **argv)
{
    using namespace qv::fileinfo;
    if (argc != 3)
        return 2;
    std::ifstream calls(argv[1]);
    std::ofstream answers(argv[2], std::ios::binary);
    std::string function, path, field;
    const auto put = [&](char16_t unit) {
        answers.put(static_cast<char>(unit & 0xff)).put(static_cast<char>(unit >> 8));
    };
    while (std::getline(calls, function) && std::getline(calls, path) &&
           std::getline(calls, field)) {
        const auto rule =
            function == "GetFileVersion" ? AnswerVersionFieldWide : AnswerVersionFieldExWide;
        const FieldAnswer answer = rule(path, field.empty() ? "FileVersion" : field);
        const std::u16string_view text = answer.wide ? answer.wide.get() : u"";
        put(text.empty() ? u'1' : u'0');
        put(u'1');
        for (char16_t unit : text)
            put(unit);
        put(0);
    }
    return 0;
}
