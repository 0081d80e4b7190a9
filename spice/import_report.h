// What an import tells the analysis that follows it, shared by quorvat-cli and the desktop
// program: the log lines of its notes or refusals, and the op-amp subcircuits as text (the
// answer of the import options, kept and shown again).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "spice/importer.h"

namespace quorvat::spice {

/// The lines an accepted import leaves before the analysis: "Importação: NOTE" for each
/// note and "Importação: aviso: WARNING" for each warning.
std::vector<std::string> import_note_lines(const ImportResult& result);

/// The lists of the imported netlist's header (the names changed, the nodes made for
/// the sensed currents) as log lines: "Importação: Nomes trocados (deck -> netlist):
/// XU1 -> OXU1", one per item; the analysis of the netlist does not echo its comments.
std::vector<std::string> import_header_list_lines(const ImportResult& result);

/// The lines of a refused import: "Deck SPICE PATH recusado:", then each refusal (with its
/// line number and text) indented by two spaces.
std::vector<std::string> import_refusal_lines(const ImportResult& result, const std::string& path);

/// Parses op-amp subcircuits "NAME:+,-,saida", separated by blanks or ";"; an empty text
/// gives none. False with a Portuguese error naming the wrong item otherwise.
bool parse_op_amp_list(std::string_view text, std::vector<OpAmpSubcircuit>& op_amps, std::string& error);

/// The op-amp subcircuits as parse_op_amp_list reads them, separated by a blank.
std::string op_amp_list_text(const std::vector<OpAmpSubcircuit>& op_amps);

}  // namespace quorvat::spice
