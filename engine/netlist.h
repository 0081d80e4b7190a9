// The netlist reader: element lines into the element and node tables, echoed to the log.
#pragma once

#include <string_view>

#include "engine/analysis_host.h"
#include "engine/tables.h"

namespace quorvat {

/// Reads the netlist text (its first line is a title) into tables.elements, the element
/// count, the node names and the variable count, echoing every element, under
/// tables.limits. Returns false when an element line failed or the elements exceed the
/// limit, and the run must end (its message already logged). A node name beyond the limit
/// only sets node_overflow; reading goes on.
bool read_netlist(EngineTables& tables, LogSink& log, std::string_view text);

/// The NodeTable index of a node name, adding it when new. With the limit of nodes in use
/// a new name sets node_overflow and gives the limit; under the design's limits it logs
/// "O programa só aceita até 25 nós".
int32_t find_node(EngineTables& tables, LogSink& log, std::string_view name);

}  // namespace quorvat
