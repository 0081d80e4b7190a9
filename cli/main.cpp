// quorvat-cli: the analysis and the plot of Quorvat MNA without windows. This
// executable does not link Qt; "plotar" runs in quorvat-cli-grafico.
#include "cli/dispatch.h"

int main(int argc, char** argv) { return quorvat::cli::dispatch(argc, argv, nullptr); }
