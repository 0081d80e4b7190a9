// Helpers of the symbolic tests: the command run in-process, a netlist read into tables.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "engine/analysis_run.h"
#include "engine/tables.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat::testing {

struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

/// quorvat-cli simbolico with the options and the netlist text (written to a file).
inline CommandRun run_symbolic(const std::vector<std::string>& options, const std::string& netlist) {
    ScratchDir dir;
    cli::Arguments args(options);
    args.push_back(dir.write("c.net", netlist));
    std::ostringstream out, err;
    int status = cli::symbolic_command(args, out, err);
    return {status, out.str(), err.str()};
}

/// The netlist text read into fresh tables (the run's reading stages).
inline std::unique_ptr<EngineTables> read_tables(const std::string& netlist) {
    ScratchDir dir;
    FakeHost host;
    host.file_name = dir.write("c.net", netlist);
    auto tables = std::make_unique<EngineTables>();
    if (!read_circuit(*tables, host)) ADD_FAILURE() << host.text();
    return tables;
}

}  // namespace quorvat::testing
