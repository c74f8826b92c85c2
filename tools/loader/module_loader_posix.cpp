#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string_view>

#include "exports_by_ordinal.h"
#include "module_loader.h"

namespace {

// Shared objects have no ordinals; these are the module's, by number, made
// from module/qvsetup.def by the build.
constexpr auto kExportByOrdinal = std::to_array<const char *>({QV_EXPORTS_BY_ORDINAL});

} // namespace

int DefaultModulePath(char *out, size_t size)
{
    if (size == 0)
        return 0;
    const ssize_t length = readlink("/proc/self/exe", out, size - 1);
    if (length <= 0 || static_cast<size_t>(length) >= size - 1)
        return 0;
    const std::string_view program(out, static_cast<size_t>(length));
    const size_t slash = program.rfind('/');
    const size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    static constexpr char kName[] = "libqvsetup.so";
    if (base + sizeof kName > size)
        return 0;
    std::memcpy(out + base, kName, sizeof kName);
    return 1;
}

LoadedModule *OpenModule(const char *path)
{
    // A bare name would be searched for on the library path; a host means
    // the file it names.
    std::array<char, 4096> local;
    const size_t length = std::strlen(path);
    if (std::strchr(path, '/') == nullptr && length + 3 <= local.size()) {
        std::memcpy(local.data(), "./", 2);
        std::memcpy(local.data() + 2, path, length + 1);
        path = local.data();
    }
    return static_cast<LoadedModule *>(dlopen(path, RTLD_NOW | RTLD_LOCAL));
}

QvSetupExport FindModuleExport(LoadedModule *module, const char *name, unsigned ordinal)
{
    if (ordinal != 0) {
        if (ordinal >= kExportByOrdinal.size())
            return nullptr;
        name = kExportByOrdinal[ordinal];
    }
    void *symbol = dlsym(module, name);
    QvSetupExport function;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

void CloseModule(LoadedModule *module)
{
    if (module != nullptr)
        dlclose(module);
}
