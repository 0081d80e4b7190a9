// The files that quorvat-cli's commands write besides the analysis results (netlists,
// tables, pictures): through the analysis's all-or-nothing writer, never over an input.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result_files.h"

namespace quorvat::cli {

/// A pending file that writes bytes already made (an encoded picture).
PendingFile bytes_file(const std::string& name, std::string bytes);

/// Writes every file of files or none, each to a temporary beside it renamed when
/// complete; a symbolic link at a name is replaced. A name that is one of inputs (by name
/// or by identity) refuses the whole group before anything is written. An existing device
/// or FIFO at a name (/dev/stdout) is written directly, never replaced. False after one
/// line on err, "quorvat-cli COMMAND: " and the reason.
bool write_output_files(const std::string& command, const std::vector<PendingFile>& files,
                        const std::vector<std::string>& inputs, std::ostream& err);

}  // namespace quorvat::cli
