// Export GetFileVersion: "path[, field]" -> variable "FileVersion".
#include <cstdlib>
#include <cstring>

#include "fileinfo/version_field.h"
#include "host/parameters.h"
#include "host/variables.h"
#include "qvsetup.h"

QVSETUP_API int32_t QVSETUP_CALL GetFileVersion(HostParamBlock *block)
{
    using namespace qv;
    if (block == nullptr)
        return 0;
    const host::ParameterList list = host::SplitParameter(block);
    fileinfo::HeapPtr<char> value;
    if (list.count >= 2) {
        // The path goes to the file system, which wants it terminated.
        const std::string_view item = host::ParameterItem(list, 1);
        const fileinfo::HeapPtr<char> path(static_cast<char *>(std::malloc(item.size() + 1)));
        if (path) {
            std::memcpy(path.get(), item.data(), item.size());
            path.get()[item.size()] = '\0';
            value = fileinfo::QueryVersionField(
                path.get(), list.count >= 3 ? host::ParameterItem(list, 2) : "FileVersion");
        }
    }
    host::SetVariable(*block, "FileVersion", value ? value.get() : "");
    return 0;
}
