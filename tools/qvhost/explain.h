// qvhost --explain: how GetFileVersion and GetFileVersionEx reach their
// answer for one file and field, step by step, from the project's own
// reader and rules (linked into qvhost), beside the module's own answer.
#ifndef QV_TOOLS_QVHOST_EXPLAIN_H
#define QV_TOOLS_QVHOST_EXPLAIN_H

#include <string>
#include <string_view>

#include "qvsetup.h"

namespace qvhost {

struct ExplainRequest {
    std::string_view file;
    std::string_view field;                             // FileVersion when none was given
    QvSetupExport get_version;                          // the module's GetFileVersion
    QvSetupExport get_version_ex;                       // and GetFileVersionEx
    std::string (*shown)(std::string_view module_text); // text as it is printed
};

// Prints the steps; 0 when both answers equal the module's, 1 when one
// does not.
int RunExplain(const ExplainRequest &request);

} // namespace qvhost

#endif
