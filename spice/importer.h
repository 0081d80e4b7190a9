// The SPICE deck importer: a deck of the linear subset of SPICE in, the text of a
// netlist of our language out, with the notes of what was skipped or changed and the
// refusals of what cannot be imported.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "spice/deck_lines.h"

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
};

struct ImportResult {
    bool ok = false;                    // false when something was refused: no netlist then
    std::string netlist;                // the netlist text, header comments first
    std::vector<std::string> notes;     // what was skipped, replaced or renamed
    std::vector<std::string> warnings;  // the netlist exceeds the analysis limits
    std::vector<std::string> refusals;  // one line each, with its line number and text
};

/// Parses "NAME:+,-,saida"; false with a Portuguese error otherwise.
bool parse_op_amp(std::string_view text, OpAmpSubcircuit& op_amp, std::string& error);

/// Imports the deck text read from path (which locates its .include and .lib files).
ImportResult import_deck(std::string_view text, const std::string& path, const ImportOptions& options,
                         const FileReader& reader = read_text_file);

/// Reads the deck at path and imports it; an unreadable file is a refusal.
ImportResult import_deck_file(const std::string& path, const ImportOptions& options);

/// True for the file names that the analysis commands take as SPICE decks:
/// .cir, .sp, .spice and .ckt, in any case.
bool has_deck_extension(const std::string& path);

}  // namespace quorvat::spice
