// Modified nodal analysis: numbering of the extra currents and the stamps of every
// element kind into the StampMatrix, whose entries are first-degree polynomials in s.
#pragma once

#include <string_view>

#include "engine/analysis_host.h"
#include "engine/tables.h"

namespace quorvat {

/// Gives V, E, F, O, L one extra current and H two, named "j", "jx", "jy" + element name;
/// K takes the currents of its two inductors. Returns false (message logged) when the
/// variables would exceed 25.
bool number_variables(EngineTables& tables, LogSink& log);

/// Clears the system and stamps every element in netlist order, listing the system
/// after each stamp when "Listar estampas" is checked. Throws FloatingPointFault on a
/// fault (a resistor of 0 ohms).
void stamp_elements(EngineTables& tables, AnalysisHost& host);

/// Logs "Sistema após a estampa de %s" and rows 1..n of the system, columns 1..n+1.
void list_stamp_matrix(const EngineTables& tables, LogSink& log, std::string_view name);

/// The text of one stamp entry: "%+4.2fs%+4.2f " (c1, c0) or "........... " when zero.
void append_stamp_entry(std::string& line, double c0, double c1);

}  // namespace quorvat
