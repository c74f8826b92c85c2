#include "files.h"

#include <algorithm>
#include <cstdio>

#include "output.h"
#ifndef _WIN32
#include "walk.h"
#endif

namespace qvhost {
namespace {

constexpr std::string_view kStatusNames[] = {"ok", "none", "missing"};
constexpr int kStatusExits[] = {0, 1, 3};

} // namespace

std::string_view StatusName(FileStatus status)
{
    return kStatusNames[static_cast<size_t>(status)];
}

bool Readable(std::string_view path)
{
    FILE *file = fopen(std::string(path).c_str(), "rb");
    if (file == nullptr)
        return false;
    fgetc(file);
    const bool readable = !ferror(file);
    fclose(file);
    return readable;
}

bool Unreadable(qv::reader::Refusal refusal)
{
    using qv::reader::Refusal;
    return refusal == Refusal::no_path || refusal == Refusal::not_opened ||
           refusal == Refusal::not_read;
}

bool NotAnImage(qv::reader::Refusal refusal)
{
    using qv::reader::Refusal;
    return refusal == Refusal::not_executable || refusal == Refusal::header_offset_outside ||
           refusal == Refusal::not_pe_or_ne;
}

int StatusExit(FileStatus worst)
{
    return kStatusExits[static_cast<size_t>(worst)];
}

int PrintFiles(const Options &o, const FileCommand &command)
{
#ifndef _WIN32
    if (o.recursive)
        return WalkFiles(o, command);
#endif
    FileStatus worst = FileStatus::ok;
    for (std::string_view path : o.files) {
        const FileOutput file = command(path, {});
        Write(file.text);
        worst = std::max(worst, file.status);
    }
    fflush(stdout);
    return StatusExit(worst);
}

} // namespace qvhost
