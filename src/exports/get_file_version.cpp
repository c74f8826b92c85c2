// Exports GetFileVersion and GetFileVersionEx: "path[, field]" -> variable
// "FileVersion", from the U.S. English / code page 1252 string table or
// from the file's own.
#include "fileinfo/version_field.h"
#include "fileinfo/version_fields.h"
#include "host/parameters.h"
#include "host/variables.h"
#include "qvsetup.h"

namespace {

using namespace qv;

using FieldQuery = memory::HeapPtr<char> (*)(std::string_view path, std::string_view field);

int32_t AnswerFileVersion(HostParamBlock *block, FieldQuery query)
{
    if (block == nullptr)
        return 0;
    const host::ParameterList list = host::SplitParameter(block);
    memory::HeapPtr<char> value;
    if (host::HasItems(list, 1)) {
        const std::string_view field =
            host::HasItems(list, 2) ? host::ParameterItem(list, 2) : fileinfo::kVersionFields[0];
        value = query(host::ParameterItem(list, 1), field);
    }
    host::SetVariable(*block, "FileVersion", value ? value.get() : "");
    return 0;
}

} // namespace

QVSETUP_API int32_t QVSETUP_CALL GetFileVersion(HostParamBlock *block)
{
    return AnswerFileVersion(block, fileinfo::QueryVersionField);
}

QVSETUP_API int32_t QVSETUP_CALL GetFileVersionEx(HostParamBlock *block)
{
    return AnswerFileVersion(block, fileinfo::QueryVersionFieldEx);
}
