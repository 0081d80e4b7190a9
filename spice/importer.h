// The SPICE deck importer: a deck of the linear subset of SPICE in, the text of a
// netlist of our language out, with the notes of what was skipped or changed and the
// refusals of what cannot be imported.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "spice/deck_lines.h"
#include "spice/operating_point.h"

namespace quorvat::spice {

/// How independent sources become our impulse and step sources.
enum class SourceMode {
    as_written,  // AC magnitude: impulse (network functions); DC or bare value: step
    impulse,     // every source an impulse
    step,        // every source a step
};

/// A subcircuit whose instances become our ideal op-amp; each pin is given by its
/// position in the subcircuit's pin list (1 first) or by its name.
struct OpAmpSubcircuit {
    std::string name;
    std::string plus, minus, output;
};

struct ImportOptions {
    SourceMode sources = SourceMode::as_written;
    std::vector<OpAmpSubcircuit> op_amps;
    /// Solves the operating point of decks with D, Q, M or J; without one they are refused.
    OperatingPointSolver* operating_point = nullptr;
};

/// The operating point of an imported deck, in the netlist's names.
struct PointValue {
    std::string name;
    double value = 0.0;
    const char* unit = "";
};
struct DevicePoint {
    std::string name, model, region;     // the device as written in the deck
    std::vector<PointValue> bias;        // currents and voltages
    std::vector<PointValue> small_signal;  // its elements in the netlist
};
struct PointTable {
    std::vector<PointValue> nodes;       // node voltages
    std::vector<DevicePoint> devices;
};

/// The table that "importar --ponto" prints.
std::string format_point_table(const PointTable& point);

struct ImportResult {
    bool ok = false;                    // false when something was refused: no netlist then
    std::string netlist;                // the netlist text, header comments first
    std::vector<std::string> notes;     // what was skipped, replaced or renamed
    std::vector<std::string> warnings;  // the netlist exceeds the analysis limits
    std::vector<std::string> refusals;  // one line each, with its line number and text
    bool small_signal = false;          // the deck's devices were linearised
    PointTable point;                   // their operating point, when small_signal
};

/// Parses "NAME:+,-,saida"; false with a Portuguese error otherwise.
bool parse_op_amp(std::string_view text, OpAmpSubcircuit& op_amp, std::string& error);

/// Imports the deck text read from path (which locates its .include and .lib files).
ImportResult import_deck(std::string_view text, const std::string& path, const ImportOptions& options,
                         const FileReader& reader = read_text_file);

/// Reads the deck at path and imports it; an unreadable file is a refusal.
ImportResult import_deck_file(const std::string& path, const ImportOptions& options);

/// The deck at path as the operating-point solver gets it: the title, then its logical
/// lines with every inclusion followed and the analysis commands removed.
bool simulator_deck(const std::string& path, std::vector<std::string>& lines, std::string& error);

/// True for the file names that the analysis commands take as SPICE decks:
/// .cir, .sp, .spice and .ckt, in any case.
bool has_deck_extension(const std::string& path);

}  // namespace quorvat::spice
