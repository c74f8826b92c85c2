// Export GetFileVersion: "path[, field]" -> variable "FileVersion".
#include "qvsetup.h"

#include <memory>

#include "../host/parameters.h"
#include "../host/variables.h"
#include "version_field.h"

namespace {

struct ParameterListDeleter {
    void operator()(ParameterList *list) const { FreeParameterList(list); }
};

} // namespace

QVSETUP_API int32_t QVSETUP_CALL GetFileVersion(HostParamBlock *block)
{
    if (block == nullptr)
        return 0;
    uint32_t count = 0;
    const std::unique_ptr<ParameterList, ParameterListDeleter> list(SplitParameter(block, &count));
    qv::fileinfo::HeapPtr<char> value;
    if (count >= 2)
        value = qv::fileinfo::QueryVersionField(list->item[1],
                                                count >= 3 ? list->item[2] : "FileVersion");
    SetVariable(block, "FileVersion", value ? value.get() : "");
    return 0;
}
