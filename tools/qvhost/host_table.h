// The stand-in setup host: the loaded module, its exports, and the variable
// table a call reads and writes.
#ifndef QV_TOOLS_QVHOST_HOST_TABLE_H
#define QV_TOOLS_QVHOST_HOST_TABLE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../loader/module_loader.h"
#include "options.h"
#include "qvsetup.h"

namespace qvhost {

using ModuleHandle = std::unique_ptr<LoadedModule, decltype(&CloseModule)>;

// The module named by --dll, or else the one beside qvhost, loaded.
Result<ModuleHandle> LoadModule(const Options &o);

// EXPORT is a name, or #N for ordinal N.
Result<QvSetupExport> ResolveExport(LoadedModule *module, const std::string &text);

// The table's slot arrays; the block points into them.
struct Table {
    std::vector<char> names;
    std::vector<char> values;
};

// A table of the options' size, and the block for a call on it.
Result<Table> AllocateTable(const Options &o);
HostParamBlock BlockFor(Table &table, const Options &o);

// Stores NAME=VALUE under %NAME% as a host does: overwrites the first entry
// with that key, or appends one.
std::optional<Error> StoreVariable(HostParamBlock &block, std::string_view assignment);

struct Variable {
    std::string_view name; // without its percent signs
    std::string_view value;
};

// The table's entries after the call, within its capacity.
std::vector<Variable> Variables(const HostParamBlock &block);

// What `function` writes to FileVersion for PARAMETER_TEXT `parameters`,
// called with a one-entry table whose value slot holds any version string
// (a string's block has a 16-bit length); empty when it writes nothing.
std::string AskFileVersion(QvSetupExport function, const std::string &parameters);

} // namespace qvhost

#endif
