#include "cli/spice_deck.h"

#include <iostream>

#include "oppoint/ngspice_solver.h"
#include "spice/import_report.h"

namespace quorvat::cli {

spice::ImportOptions deck_import_options() {
    spice::ImportOptions options;
    options.operating_point = &oppoint::ngspice_solver();
    return options;
}

int take_deck_flag(const Arguments& args, std::size_t& i, DeckFlags& flags, const std::string& command,
                   std::ostream& err) {
    const std::string& word = args[i];
    if (word == "--spice") {
        flags.force = true;
        return 1;
    }
    if (word != "--fontes" && word != "--amp-op") return 0;
    if (i + 1 >= args.size()) {
        err << "quorvat-cli " << command << ": falta o valor de " << word << "\n";
        return -1;
    }
    const std::string& value = args[++i];
    if (word == "--fontes") {
        if (value == "impulso") flags.options.sources = spice::SourceMode::impulse;
        else if (value == "degrau") flags.options.sources = spice::SourceMode::step;
        else {
            err << "quorvat-cli " << command << ": --fontes aceita impulso ou degrau: " << value << "\n";
            return -1;
        }
        return 1;
    }
    spice::OpAmpSubcircuit op_amp;
    std::string error;
    if (!spice::parse_op_amp(value, op_amp, error)) {
        err << "quorvat-cli " << command << ": --amp-op " << value << ": " << error << "\n";
        return -1;
    }
    flags.options.op_amps.push_back(op_amp);
    return 1;
}

bool is_deck(const std::string& path, const DeckFlags& flags) {
    return flags.force || spice::has_deck_extension(path);
}

bool load_deck(const std::string& path, const DeckFlags& flags, std::string& netlist, std::ostream& out,
               std::ostream& err) {
    spice::ImportResult imported = spice::import_deck_file(path, flags.options);
    if (!imported.ok) {
        for (const std::string& line : spice::import_refusal_lines(imported, path)) err << line << "\n";
        return false;
    }
    for (const std::string& line : spice::import_note_lines(imported)) out << line << "\n";
    netlist = std::move(imported.netlist);
    return true;
}

bool SuppliedNetlist::load(const std::string& path, const DeckFlags& flags, std::ostream& notes,
                           std::ostream& err) {
    if (!is_deck(path, flags)) return true;
    if (!load_deck(path, flags, text_, notes, err)) return false;
    imported_ = true;
    return true;
}

bool SuppliedNetlist::give(std::string& text) const {
    if (imported_) text = text_;
    return imported_;
}

}  // namespace quorvat::cli
