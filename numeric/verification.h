// Numerical verification of an analysis: every variable's transform from the result
// polynomials is compared with a direct solution of the same assembled system,
// A(jω) x = b(jω), at test frequencies chosen from the circuit's natural frequencies.
#pragma once

#include <string>
#include <vector>

#include "engine/analysis_run.h"
#include "engine/tables.h"

namespace quorvat {

constexpr double verification_tolerance = 1e-6;  // largest relative error taken as exact

struct VariableCheck {
    int variable;         // 1-based
    std::string name;
    int numerator_degree;
    int denominator_degree;
    double error;         // relative to the largest direct value of the variable
};

struct VerificationReport {
    std::vector<double> frequencies;    // test points used (rad/s); empty: nothing checked
    std::vector<VariableCheck> variables;
};

/// Checks the results of the solved variables against the exact results when the run
/// computed them, else against the circuit's system solved by complex LU (sparse for
/// large circuits); exact results of a circuit beyond the elimination's tables are
/// checked against that direct solution where it can be used. The floating-point flags
/// are left as they were.
VerificationReport verify_results(const EngineTables& tables);

/// The check against the exact results (against_exact) or the direct complex solution.
VerificationReport verify_results_against(const EngineTables& tables, bool against_exact);

/// The test frequencies: about 16 points log-spaced from a hundredth of the smallest to a
/// hundred times the largest finite non-zero natural frequency (1e-2..1e2 without any).
std::vector<double> test_frequencies(const EngineTables& tables);

/// Logs one warning line per variable above tolerance, then the advice line.
void log_verification_warnings(const VerificationReport& report, LogSink& log,
                               double tolerance = verification_tolerance);

/// The verification as the run's check before its success line; keeps the last report.
class NumericalVerification : public ResultCheck {
public:
    void check(const EngineTables& tables, LogSink& log) override;
    const VerificationReport& last_report() const { return report_; }

private:
    VerificationReport report_;
};

}  // namespace quorvat
