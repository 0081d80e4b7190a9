#include "support/cli_run.h"

#include <sys/wait.h>

#include <cstdlib>

namespace quorvat::testing {

std::string shell_quoted(const std::string& word) {
    std::string q = "'";
    for (char ch : word) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return q + "'";
}

CliOutcome run_cli(const ScratchDir& dir, const std::string& arguments) {
    std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    std::string command = "cd " + shell_quoted(dir.path().string()) + " && " + shell_quoted(QUORVAT_CLI) + " " +
                          arguments + " >" + shell_quoted(out) + " 2>" + shell_quoted(err) + " </dev/null";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(out), read_file(err)};
}

}  // namespace quorvat::testing
