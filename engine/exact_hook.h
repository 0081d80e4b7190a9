// The exact solution of the assembled system, plugged into the run from outside the
// engine (it needs big-integer arithmetic, which the engine does not carry).
#pragma once

#include "engine/analysis_host.h"
#include "engine/tables.h"

namespace quorvat {

class ExactSolver {
public:
    enum class Outcome { solved, singular, refused, cancelled };
    virtual ~ExactSolver() = default;
    /// Solves the elements of tables exactly into exact_num and exact_den of variables
    /// 1..n (divided by s, reduced, denominators monic, the gain in the numerator's Cte)
    /// and sets exact_available. A refusal logs its reason. A long solution reports its
    /// progress through host.progress, which may cancel it.
    virtual Outcome solve(EngineTables& tables, AnalysisHost& host) = 0;
    /// The largest relative difference between num/den and exact_num/exact_den at the
    /// test frequencies; infinite when it is not a number.
    virtual double difference(const EngineTables& tables) = 0;
};

/// Largest relative difference the run accepts between its results and the exact ones.
constexpr double exact_tolerance = 1e-6;

}  // namespace quorvat
