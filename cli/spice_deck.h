// SPICE decks given to the analysis commands (analisar, verificar and those to come):
// the options that steer the import, and the import in memory.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/commands.h"
#include "spice/importer.h"

namespace quorvat::cli {

/// The import options of every command: decks with devices get their operating point
/// from ngspice, whose library is opened only when such a deck comes.
spice::ImportOptions deck_import_options();

struct DeckFlags {
    bool force = false;  // --spice: a deck whatever the extension
    spice::ImportOptions options = deck_import_options();
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

/// What a command's analysis host hands to the run in place of the file: the netlist
/// imported from a deck, when the file is one.
class SuppliedNetlist {
public:
    /// Imports path when it is a deck (notes on notes, refusals on err); false when the
    /// deck was refused. A netlist of our own language is left to the run to read.
    bool load(const std::string& path, const DeckFlags& flags, std::ostream& notes, std::ostream& err);
    /// The host's answer to supplied_netlist.
    bool give(std::string& text) const;

private:
    std::string text_;
    bool imported_ = false;
};

}  // namespace quorvat::cli
