// The exact solver as the analysis run's reference: it solves the run's system exactly
// and measures how far the elimination's results are from it.
#pragma once

#include "engine/exact_hook.h"

namespace quorvat::exact {

class ExactReference : public ExactSolver {
public:
    Outcome solve(EngineTables& tables, AnalysisHost& host) override;
    double difference(const EngineTables& tables) override;
};

}  // namespace quorvat::exact
