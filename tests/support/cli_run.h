// Runs quorvat-cli as a user would, from a shell inside a scratch folder, and collects
// its exit status and both outputs.
#pragma once

#include <string>

#include "support/test_files.h"

namespace quorvat::testing {

struct CliOutcome {
    int status;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

/// The word quoted for the shell.
std::string shell_quoted(const std::string& word);

/// "quorvat-cli ARGUMENTS" run in dir, standard input from /dev/null.
CliOutcome run_cli(const ScratchDir& dir, const std::string& arguments);

}  // namespace quorvat::testing
