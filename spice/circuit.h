// The flattened circuit: every element of the deck with its subcircuits expanded and
// its values evaluated, before the names and sources are fitted to our language.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "spice/deck.h"
#include "spice/importer.h"
#include "spice/operating_point.h"
#include "spice/values.h"

namespace quorvat::spice {

struct FlatElement {
    char kind = 0;                   // R C L K E G F H V I O, or a device D Q M J; upper case
    std::string key;                 // full name in lower case, unique in the circuit
    std::string full_name;           // instance path first, as written: X1.R1
    std::string candidate;           // the name it asks for in the netlist: R1, R1.X1, OX1
    std::vector<std::string> nodes;  // node keys, "0" for ground; O: output, 0, +, -
    double value = 0.0;
    double second = 0.0;             // C, L: initial condition
    bool has_second = false;
    std::vector<std::string> refs;   // F, H: key of the sensed V source; K: the two inductors
    bool impulse = false;            // V, I: impulse rather than step
    bool ammeter = false;            // V: 0 V, written with no AC and no transient function
    std::vector<double> gains;       // POLY: the gain of each controlling pair or current
    double offset = 0.0;             // POLY: its constant term
    std::string model;               // D Q M J: the model named on the line
    std::string fallback;            // the prefix of a replacement name, when not the kind
    Origin origin;

    double ac_value = 0.0;           // R: resistance of the AC analysis (ac=)
    bool has_ac_value = false;
    // V, I as written; the writer settles value and impulse once it knows the whole deck.
    struct Source {
        double dc = 0.0;             // DC value, or the bare value
        bool has_dc = false;
        double ac = 0.0;             // AC magnitude
        double phase = 0.0;          // AC phase, degrees
        bool has_ac = false;
        std::string function;        // transient function (pulse, sin, ...), lower case
        double change = 0.0;         // its step from the initial to the final level
        bool has_change = false;     // false for SIN and the modulated forms
        double z0 = 0.0;             // V of an RF port: the resistance in series
        bool port = false;
    } source;
};

/// The operating point of one device as the header shows it.
struct DeviceReport {
    std::string name;                    // as written: X1.Q1
    std::string model, region;
    std::vector<NamedValue> bias;
    std::vector<std::string> elements;   // keys of its small-signal elements
};

struct FlatCircuit {
    std::string title;
    std::vector<FlatElement> elements;
    std::map<std::string, std::string> node_names;  // key: full name as first written
    bool small_signal = false;                      // devices replaced by their equivalents
    std::vector<NamedValue> node_voltages;          // by node key, at the operating point
    std::vector<DeviceReport> devices;
};

/// How the line of one element finds its nodes, the elements it names and its
/// parameters inside the instance being expanded.
struct ElementScope {
    std::function<std::string(const std::string&)> node;     // node word: node key
    std::function<std::string(const std::string&)> element;  // element name: element key
    const ParamScope* params = nullptr;
    const Deck* deck = nullptr;  // models, temperature
};

/// Reads one element line other than X into element (kind, nodes, value, refs). False,
/// with its refusal recorded, when the element is outside the linear subset or malformed.
bool parse_element(const Statement& statement, const ElementScope& scope, FlatElement& element,
                   Diagnostics& diagnostics);

/// Expands the deck into the flat circuit.
void flatten(const Deck& deck, const ImportOptions& options, FlatCircuit& circuit, Diagnostics& diagnostics);

}  // namespace quorvat::spice

namespace quorvat::spice {

/// Replaces the devices of the flat circuit (D, Q, M, J) by their small-signal
/// equivalents at the operating point that options.operating_point solves for the
/// deck's lines; refusals when there is no solver, the point does not converge or a
/// device has no equivalent. Sources keep only their AC values then. Without devices,
/// refuses the constant terms of POLY sources.
void linearise_devices(const DeckSource& source, FlatCircuit& circuit, const ImportOptions& options,
                       Diagnostics& diagnostics);

/// Fits the flat circuit to our language (sensed currents, names, sources) and writes
/// the netlist text, its header naming every replacement. Empty, with the refusals
/// recorded, when an F, H or K names no suitable element. Limits beyond the analysis's
/// go to warnings.
std::string write_netlist(const FlatCircuit& circuit, const ImportOptions& options, const std::string& deck_name,
                          Diagnostics& diagnostics, std::vector<std::string>& warnings, PointTable* point = nullptr);

}  // namespace quorvat::spice
