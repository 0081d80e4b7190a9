// SPICE decks given to the analysis commands (analisar, verificar and those to come):
// the options that steer the import, and the import in memory.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/commands.h"
#include "spice/importer.h"

namespace quorvat::cli {

struct DeckFlags {
    bool force = false;  // --spice: a deck whatever the extension
    spice::ImportOptions options;
};

/// Takes the deck option at args[i] (--spice, --fontes impulso|degrau, --amp-op
/// NOME:+,-,saida), moving i past its value. 1 when taken, 0 when args[i] is no deck
/// option, -1 for a usage error (its message on err).
int take_deck_flag(const Arguments& args, std::size_t& i, DeckFlags& flags, const std::string& command,
                   std::ostream& err);

/// Whether the file is read as a SPICE deck: forced, or for its extension.
bool is_deck(const std::string& path, const DeckFlags& flags);

/// Imports the deck at path into netlist. Notes and warnings go to out, one
/// "Importação: ..." line each; refusals to err. False when the deck was refused.
bool load_deck(const std::string& path, const DeckFlags& flags, std::string& netlist, std::ostream& out,
               std::ostream& err);

}  // namespace quorvat::cli
