// The hand-over of the devices: the deck's lines to the operating-point solver, and
// each device replaced by the small-signal equivalent it returns.
#include <string>

#include "spice/circuit.h"

namespace quorvat::spice {

namespace {

bool is_device(char kind) { return kind == 'D' || kind == 'Q' || kind == 'M' || kind == 'J'; }

// Dot commands that run or print analyses: the solver runs its own.
bool is_analysis(const std::string& word) {
    static const char* const analyses[] = {".ac",   ".dc",   ".tran",     ".op",   ".noise", ".tf",      ".sens",
                                           ".pz",   ".disto", ".four",    ".print", ".plot", ".probe",   ".save",
                                           ".meas", ".measure", ".width", ".backanno", ".csparam", ".end"};
    for (const char* analysis : analyses)
        if (word == analysis) return true;
    return false;
}

const char* kind_name(char kind) {
    switch (kind) {
        case 'D': return "diodo";
        case 'Q': return "transistor bipolar";
        case 'M': return "transistor MOS";
        default: return "transistor JFET";
    }
}

// The device's name in the simulator's flattened deck: q1 at the top, q.x1.q1 inside
// instance x1.
std::string solver_name(const FlatElement& device) {
    if (device.key.find('.') == std::string::npos) return device.key;
    return std::string(1, static_cast<char>(device.kind - 'A' + 'a')) + "." + device.key;
}

std::size_t terminal_count(const FlatElement& device) { return device.nodes.size(); }

std::vector<std::string> solver_lines(const DeckSource& source) {
    std::vector<std::string> lines = {source.title};
    for (const Origin& line : source.lines)
        if (!is_analysis(first_word(line.text))) lines.push_back(line.text);
    return lines;
}

}  // namespace

bool simulator_deck(const std::string& path, std::vector<std::string>& lines, std::string& error) {
    std::string text;
    if (!read_text_file(path, text, error)) return false;
    Diagnostics diagnostics;
    DeckSource source;
    read_deck_lines(text, path, read_text_file, source, diagnostics);
    lines = solver_lines(source);
    return true;
}

void linearise_devices(const DeckSource& source, FlatCircuit& circuit, const ImportOptions& options,
                       Diagnostics& diagnostics) {
    std::vector<std::size_t> devices;
    for (std::size_t i = 0; i < circuit.elements.size(); ++i)
        if (is_device(circuit.elements[i].kind)) devices.push_back(i);
    if (devices.empty()) return;
    if (diagnostics.refused()) return;  // no point solving a deck that is refused anyway
    if (!options.operating_point) {
        for (std::size_t i : devices)
            diagnostics.refuse(circuit.elements[i].origin, std::string(kind_name(circuit.elements[i].kind)) +
                                                               ": o ponto de operação não é calculado aqui");
        return;
    }

    std::vector<std::string> lines = solver_lines(source);
    std::vector<DeviceRequest> requests;
    for (std::size_t i : devices) {
        const FlatElement& device = circuit.elements[i];
        requests.push_back(
            DeviceRequest{device.kind, solver_name(device), device.full_name, device.model, terminal_count(device)});
    }
    std::vector<std::string> node_keys;
    for (const auto& [key, name] : circuit.node_names)
        if (key[0] != '\x01') node_keys.push_back(key);

    OperatingPoint point = options.operating_point->solve(lines, requests, node_keys);
    if (!point.ok) {
        diagnostics.refuse(point.error);
        return;
    }
    bool refused = false;
    for (std::size_t d = 0; d < devices.size(); ++d) {
        const FlatElement& device = circuit.elements[devices[d]];
        const DeviceResult& result = point.devices[d];
        if (!result.refusal.empty()) {
            diagnostics.refuse(device.origin, std::string(kind_name(device.kind)) + " " + device.full_name +
                                                  ", modelo " + result.model + ": " + result.refusal);
            refused = true;
        }
    }
    if (refused) return;

    // Each device gives way to its elements, in its place; internal nodes and elements
    // are named role_DEVICE.
    std::vector<FlatElement> elements;
    std::size_t next = 0;
    for (std::size_t i = 0; i < circuit.elements.size(); ++i) {
        FlatElement& element = circuit.elements[i];
        if (!is_device(element.kind)) {
            // Sources keep only their AC values, POLY sources lose their constants: the
            // writer settles both (small_signal).
            elements.push_back(std::move(element));
            continue;
        }
        const DeviceResult& result = point.devices[next++];
        DeviceReport report{element.full_name, result.model, result.region, result.bias, {}};
        std::vector<std::string> internal;
        for (const std::string& role : result.internal_nodes) {
            std::string key = "\x01" + role + "_" + element.key;
            circuit.node_names.emplace(key, role + "_" + element.candidate);
            internal.push_back(key);
        }
        for (const SmallSignalElement& part : result.elements) {
            FlatElement linear;
            linear.kind = part.kind;
            linear.key = "\x01" + part.role + "_" + element.key;
            linear.full_name = part.role + "_" + element.full_name;
            linear.candidate = part.role + "_" + element.candidate;
            linear.fallback = part.role;
            linear.value = part.value;
            linear.origin = element.origin;
            for (int node : part.nodes) {
                std::size_t index = static_cast<std::size_t>(node);
                linear.nodes.push_back(node < 0                        ? std::string("0")
                                       : index < element.nodes.size() ? element.nodes[index]
                                                                       : internal[index - element.nodes.size()]);
            }
            report.elements.push_back(linear.key);
            elements.push_back(std::move(linear));
        }
        circuit.devices.push_back(std::move(report));
    }
    circuit.elements = std::move(elements);
    circuit.node_voltages = std::move(point.node_voltages);
    circuit.small_signal = true;
    diagnostics.note("circuito de pequenos sinais no ponto de operação: as fontes valem só o seu valor AC "
                     "(zero as que não têm AC)");
}

}  // namespace quorvat::spice
