// The options of "quorvat-cli analisar", which stand for the options dialog's controls.
#pragma once

#include <iosfwd>
#include <set>
#include <string>

#include "cli/commands.h"
#include "cli/spice_deck.h"
#include "engine/analysis_host.h"
#include "engine/analysis_run.h"
#include "numeric/verification.h"

namespace quorvat::cli {

struct AnalysisFlags {
    std::set<AnalysisOption> checked{AnalysisOption::normalise};  // the dialog's defaults
    std::string dispersion_text = "1e12";
    std::string zero_text = "1e-12";
    std::set<int> selection;  // variables selected in the variables list, 1-based
    std::set<int> wanted;     // --variaveis: the variables an exact run solves; empty: all
    double scale = 1.0;       // --escala: exact results as functions of s / scale
    std::string netlist;
    DeckFlags deck;  // a SPICE deck is imported in memory
};

/// Parses the options and the netlist; false (message on err) for a usage error.
/// help is set when --help was given.
bool parse_analysis_flags(const Arguments& args, AnalysisFlags& flags, bool& help, std::ostream& err);

extern const char* const analysis_usage;

/// Whether every variable of the report is within tolerance (a NaN error is not).
bool within_tolerance(const VerificationReport& report, double tolerance);

/// Runs the analysis of flags.netlist, its log on out, with the exact solver as the
/// elimination's reference; the exit status of "analisar" before the verification.
int run_cli_analysis(const AnalysisFlags& flags, ResultCheck* check, std::ostream& out, std::ostream& err);

}  // namespace quorvat::cli
