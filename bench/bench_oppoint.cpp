// Timings of decks with devices: the operating point alone (ngspice loads the deck,
// solves it and gives the small-signal values of every device) and the whole import
// (read, flatten, operating point, equivalents, netlist text), on the three transistor
// examples and the non-inverting amplifier with the JFET op-amp macromodel.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "oppoint/ngspice_solver.h"
#include "spice/importer.h"

namespace {

using namespace quorvat;

std::string example(const std::string& name) { return std::string(QUORVAT_SOURCE_DIR) + "/examples/" + name; }

// The devices of a deck as the importer hands them over, by a first import.
bool prepare(benchmark::State& state, const std::string& path, std::vector<std::string>& lines,
             std::vector<spice::DeviceRequest>& devices, std::vector<std::string>& nodes) {
    struct Recorder : spice::OperatingPointSolver {
        std::vector<spice::DeviceRequest>* devices;
        std::vector<std::string>* nodes;
        spice::OperatingPoint solve(const std::vector<std::string>&, const std::vector<spice::DeviceRequest>& d,
                                    const std::vector<std::string>& n) override {
            *devices = d;
            *nodes = n;
            return {};
        }
    } recorder;
    recorder.devices = &devices;
    recorder.nodes = &nodes;
    spice::ImportOptions options;
    options.operating_point = &recorder;
    spice::import_deck_file(path, options);
    std::string error;
    if (!spice::simulator_deck(path, lines, error) || devices.empty()) {
        state.SkipWithError(("deck sem dispositivos: " + error).c_str());
        return false;
    }
    return true;
}

void operating_point(benchmark::State& state, const std::string& name) {
    std::string why;
    if (!oppoint::ngspice_available(why)) return state.SkipWithError(why.c_str());
    std::vector<std::string> lines, nodes;
    std::vector<spice::DeviceRequest> devices;
    if (!prepare(state, example(name), lines, devices, nodes)) return;
    for (auto _ : state) {
        spice::OperatingPoint point = oppoint::ngspice_solver().solve(lines, devices, nodes);
        if (!point.ok) return state.SkipWithError(point.error.c_str());
        benchmark::DoNotOptimize(point);
    }
    state.counters["dispositivos"] = static_cast<double>(devices.size());
}

void whole_import(benchmark::State& state, const std::string& name) {
    std::string why;
    if (!oppoint::ngspice_available(why)) return state.SkipWithError(why.c_str());
    spice::ImportOptions options;
    options.operating_point = &oppoint::ngspice_solver();
    for (auto _ : state) {
        spice::ImportResult result = spice::import_deck_file(example(name), options);
        if (!result.ok) return state.SkipWithError(result.refusals[0].c_str());
        benchmark::DoNotOptimize(result);
    }
}

const char* const decks[] = {"emissor_comum.cir", "par_diferencial.cir", "ampop_cmos.cir", "nao_inversor_jfet.cir"};

int register_all() {
    for (const char* deck : decks) {
        benchmark::RegisterBenchmark((std::string("ponto_de_operacao/") + deck).c_str(), operating_point, deck)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("importacao_inteira/") + deck).c_str(), whole_import, deck)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}
const int registered = register_all();

}  // namespace

BENCHMARK_MAIN();
