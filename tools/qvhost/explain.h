// qvhost --explain: how GetFileVersion and GetFileVersionEx reach their
// answer for one file and field, step by step, from the project's own
// reader and rules (linked into qvhost), beside the module's own answer.
// The steps on the file and its block are in explain_file.cpp, those of the
// rules in explain.cpp.
#ifndef QV_TOOLS_QVHOST_EXPLAIN_H
#define QV_TOOLS_QVHOST_EXPLAIN_H

#include <optional>
#include <string>
#include <string_view>

#include "fileinfo/checked_block.h"
#include "qvsetup.h"
#include "reader/refusal.h"

namespace qvhost {

struct ExplainRequest {
    std::string_view file;
    std::string_view field;                             // FileVersion when none was given
    QvSetupExport get_version;                          // the module's GetFileVersion
    QvSetupExport get_version_ex;                       // and GetFileVersionEx
    std::string (*shown)(std::string_view module_text); // text as it is printed
};

// One line of output: "STEP: TEXT".
void Line(std::string_view step, std::string_view text);

// "reason=NAME (TEXT)".
std::string Reason(qv::reader::Refusal refusal);

// The steps open, format, resource and vetted: the reader's, which on
// Windows decide whether the system's functions are asked at all.
void ExplainFile(const ExplainRequest &r);

// The steps block, translations, tables and fixed record: what the rules
// read.
void ExplainBlock(const std::optional<qv::fileinfo::CheckedBlock> &block,
                  qv::reader::Refusal refusal);

} // namespace qvhost

#endif
