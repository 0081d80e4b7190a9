// The hand-over of semiconductor devices: what the importer asks of an operating-point
// solver (the deck and its devices) and what it gets back (each device's small-signal
// equivalent at the operating point). The solver lives outside spice/ (oppoint/), which
// never links it: a command that can solve operating points puts one in ImportOptions.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quorvat::spice {

/// One device of the flattened deck, as the solver finds it.
struct DeviceRequest {
    char kind = 0;              // D, Q, M or J
    std::string solver_name;    // its name in the flattened deck, lower case: q1, q.x1.q1
    std::string display_name;   // as written: X1.Q1
    std::string model;          // the model name as written on its line
    std::size_t terminals = 0;  // nodes on its line: D 2, J 3, Q 3 or 4, M 4
};

/// A linear element of a device's equivalent. Nodes: 0..terminals-1 are the device's
/// terminals in the order of its line, terminals + k is internal node k, -1 is ground.
struct SmallSignalElement {
    char kind = 0;              // R, C, G (conductance when its two pairs coincide) or L
    std::string role;           // gm, rpi, cmu...: the element is named role_DEVICE
    std::vector<int> nodes;     // R, C, L: 2; G: output +, -, control +, -
    double value = 0.0;         // ohms, farads, siemens or henries
};

struct NamedValue {
    std::string name;
    double value = 0.0;
};

struct DeviceResult {
    std::string refusal;                      // non-empty: no linear equivalent, and why
    std::string model;                        // the model the simulator used
    std::string region;                       // region of operation, when known
    std::vector<std::string> internal_nodes;  // roles: bi, ci, ei, di, si
    std::vector<SmallSignalElement> elements;
    std::vector<NamedValue> bias;             // currents and voltages at the point
};

struct OperatingPoint {
    bool ok = false;
    std::string error;                        // the simulator's message when !ok
    std::vector<NamedValue> node_voltages;    // by the node's name in the flattened deck
    std::vector<DeviceResult> devices;        // in the order of the request
};

/// Solves the DC operating point of a deck and linearises its devices there.
class OperatingPointSolver {
public:
    virtual ~OperatingPointSolver() = default;
    /// deck_lines: the title, then logical lines with every inclusion followed and the
    /// analysis commands removed, without .end. node_names: the nodes whose voltages are
    /// reported, by their name in the flattened deck (x1.n3), lower case.
    virtual OperatingPoint solve(const std::vector<std::string>& deck_lines, const std::vector<DeviceRequest>& devices,
                                 const std::vector<std::string>& node_names) = 0;
};

}  // namespace quorvat::spice
