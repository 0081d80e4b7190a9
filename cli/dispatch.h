// The command table of quorvat-cli. The analysis and pair commands need no windowing
// toolkit; the commands that paint pictures run in a second executable linked with it,
// so that the analysis starts without loading Qt.
#pragma once

#include "cli/commands.h"

namespace quorvat::cli {

/// The commands that paint, present only in the executable that links the painter.
struct PaintingCommands {
    CommandFunction plot = nullptr;
    TimePngWriter time_png = nullptr;
};

/// Runs the command named by argv[1]. Without painting commands, a command that needs
/// them (plotar, tempo --png) is handed to the painting executable beside this one,
/// with the same arguments.
int dispatch(int argc, char** argv, const PaintingCommands* painting);

/// The name of the painting executable.
extern const char* const painting_executable;

}  // namespace quorvat::cli
