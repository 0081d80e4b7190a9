// Fixed limits of the analysis: every table of the engine is sized by them.
#pragma once

#include <cstdint>

namespace quorvat {

constexpr int max_elements = 200;       // elements of one netlist
constexpr int max_nodes = 25;           // distinct nodes besides ground
constexpr int max_variables = 25;       // node voltages and extra currents
constexpr int max_order = 30;           // highest power of s a polynomial may hold
constexpr int max_name_length = 10;     // characters of an element name or node word
constexpr int max_char_bytes = 4;       // bytes of one UTF-8 character
constexpr int name_size = max_name_length * max_char_bytes + 1;  // bytes of a stored name
// Bytes of a NodeTable slot: a variable name is at most "jx" and an element name.
constexpr int name_slot_size = (max_name_length + 2) * max_char_bytes + 1;
constexpr int max_text_length = 1999;   // characters of a path or of one log line

/// The sizes a netlist is read under: the design's, which the fixed tables of the
/// elimination hold, or the guards of the exact path, which has no limit of its own and
/// stops only what would exhaust the machine.
struct CircuitLimits {
    int32_t nodes;      // distinct nodes besides ground
    int32_t elements;   // elements of one netlist
    int32_t variables;  // node voltages and extra currents
    bool design() const { return nodes == max_nodes && elements == max_elements && variables == max_variables; }
};
constexpr CircuitLimits design_limits{max_nodes, max_elements, max_variables};
constexpr CircuitLimits exact_limits{20000, 200000, 20000};

}  // namespace quorvat
