// Export GetFileVersion: "path[, field]" -> variable "FileVersion".
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
    memory::HeapPtr<char> value;
    if (list.count >= 2)
        value = fileinfo::QueryVersionField(host::ParameterItem(list, 1),
                                            list.count >= 3 ? host::ParameterItem(list, 2)
                                                            : "FileVersion");
    host::SetVariable(*block, "FileVersion", value ? value.get() : "");
    return 0;
}
