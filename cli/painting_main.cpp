// quorvat-cli-grafico: the commands of quorvat-cli that paint pictures with Qt;
// quorvat-cli hands them over with the same arguments.
#include "cli/dispatch.h"
#include "cli/time_png.h"

int main(int argc, char** argv) {
    const quorvat::cli::PaintingCommands painting{quorvat::cli::plot_command, quorvat::cli::write_time_png};
    return quorvat::cli::dispatch(argc, argv, &painting);
}
