// Where a test program finds the files it is given. The build names them
// by Unix paths; under Wine drive Z: is the root of the Unix file system, so
// that "/a/b" is opened as "Z:\a\b".
#ifndef QV_TESTS_FIXTURE_PATH_H
#define QV_TESTS_FIXTURE_PATH_H

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

inline std::string HostPath(std::string path)
{
#ifdef _WIN32
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

// `name` in the folder the environment variable `variable` names, or else
// in `fallback`.
inline std::string InFolder(const char *variable, const char *fallback, std::string_view name)
{
    const char *folder = std::getenv(variable);
    return HostPath(std::string(folder ? folder : fallback) + "/" + std::string(name));
}

#endif
