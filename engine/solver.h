// The elimination solver. For each variable v the assembled system is copied with the
// columns v and n exchanged and triangularised Euclid-like: each column is reduced, pass
// after pass, by the non-zero entry of lowest degree (row operations whose multipliers
// are polynomial quotients) until one non-zero entry remains, which moves to the
// diagonal. The last row then gives v's numerator (right-hand side) and denominator.
#pragma once

#include "engine/analysis_host.h"
#include "engine/tables.h"

namespace quorvat {

/// Step 0 of the solution: every num/den Cte of variables 1..n := 1, and the degree of
/// every StampMatrix entry of rows 1..n, columns 1..n+1 from its c1.
void prepare_system(EngineTables& tables);

/// Fills num[1..n] and den[1..n]. Returns false after logging the cause (a null column,
/// an order above 30, a column that does not converge). Logs the statistics on success.
bool solve_system(EngineTables& tables, AnalysisHost& host);

/// Exchanges rows k and p of the working matrix in columns k..n+1.
void swap_rows(EngineTables& tables, int k, int p);

/// Logs the working matrix, column by column, one line per entry.
void list_system(const EngineTables& tables, LogSink& log);

}  // namespace quorvat
