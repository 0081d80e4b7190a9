#include "spice/importer.h"

#include <cstdio>
#include <filesystem>

#include "spice/circuit.h"
#include "spice/deck.h"

namespace quorvat::spice {

bool parse_op_amp(std::string_view text, OpAmpSubcircuit& op_amp, std::string& error) {
    std::size_t colon = text.rfind(':');
    std::vector<std::string> pins;
    if (colon != std::string_view::npos) {
        std::string_view rest = text.substr(colon + 1);
        std::size_t start = 0;
        for (std::size_t comma; (comma = rest.find(',', start)) != std::string_view::npos; start = comma + 1)
            pins.emplace_back(rest.substr(start, comma - start));
        pins.emplace_back(rest.substr(start));
    }
    bool empty_pin = false;
    for (const std::string& pin : pins) empty_pin = empty_pin || pin.empty();
    if (colon == std::string_view::npos || colon == 0 || pins.size() != 3 || empty_pin) {
        error = "esperado NOME:+,-,saida, por exemplo opamp:3,2,1";
        return false;
    }
    op_amp = OpAmpSubcircuit{std::string(text.substr(0, colon)), pins[0], pins[1], pins[2]};
    return true;
}

ImportResult import_deck(std::string_view text, const std::string& path, const ImportOptions& options,
                         const FileReader& reader) {
    Diagnostics diagnostics;
    DeckSource source;
    read_deck_lines(text, path, reader, source, diagnostics);
    Deck deck;
    parse_deck(source, deck, diagnostics);
    FlatCircuit circuit;
    flatten(deck, options, circuit, diagnostics);
    if (circuit.elements.empty() && !diagnostics.refused()) diagnostics.refuse("o deck não tem elementos");
    linearise_devices(source, circuit, options, diagnostics);
    ImportResult result;
    // Written even after a refusal, so that the references of F, H and K are checked
    // and every refusal is reported at once.
    std::string name = std::filesystem::path(path).filename().string();
    result.netlist = write_netlist(circuit, options, name, diagnostics, result.warnings, &result.point);
    result.small_signal = circuit.small_signal;
    result.ok = !diagnostics.refused();
    if (!result.ok) {
        result.netlist.clear();
        result.warnings.clear();
    }
    result.notes = diagnostics.notes();
    result.refusals = diagnostics.refusals();
    return result;
}

ImportResult import_deck_file(const std::string& path, const ImportOptions& options) {
    std::string text, error;
    if (!read_text_file(path, text, error)) {
        ImportResult result;
        result.refusals.push_back(error);
        return result;
    }
    return import_deck(text, path, options);
}

std::string format_point_table(const PointTable& point) {
    auto row = [](const PointValue& value) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-12s %14.6g %s\n", value.name.c_str(), value.value, value.unit);
        return std::string(line);
    };
    std::string text = "Tensões dos nós:\n";
    for (const PointValue& node : point.nodes) text += row(node);
    for (const DevicePoint& device : point.devices) {
        text += "\n" + device.name + " (modelo " + device.model + ")";
        if (!device.region.empty()) text += ", região: " + device.region;
        text += "\n";
        for (const PointValue& value : device.bias) text += row(value);
        for (const PointValue& value : device.small_signal) text += row(value);
    }
    return text;
}

bool has_deck_extension(const std::string& path) {
    std::string extension = lower(std::filesystem::path(path).extension().string());
    return extension == ".cir" || extension == ".sp" || extension == ".spice" || extension == ".ckt";
}

}  // namespace quorvat::spice
