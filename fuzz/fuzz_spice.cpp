// Fuzzes the SPICE importer. The first 64 included files are the deck itself, so that
// inclusions nest and repeat: the bytes handed over must stay within the importer's
// budget for inclusions. A deck that imports within the analysis limits must give a netlist that
// the engine's reader takes whole.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/fp_fault.h"
#include "engine/log.h"
#include "engine/netlist.h"
#include "engine/tables.h"
#include "spice/importer.h"

namespace {

class NoLog : public quorvat::LogSink {
public:
    void log(std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvat;
    std::string text(reinterpret_cast<const char*>(data), size);
    spice::ImportOptions options;
    if (size > 0) options.sources = static_cast<spice::SourceMode>(data[0] % 3);
    options.op_amps.push_back({"opamp", "1", "2", "3"});
    std::size_t served = 0;
    int reads = 0;
    spice::FileReader itself = [&](const std::string&, std::string& included, std::string& error) {
        // Once 64 MiB are taken, no further file may be read.
        if (served > (64u << 20)) __builtin_trap();
        // A few dozen inclusions show every shape; thousands only slow the fuzzer down.
        if (++reads > 64) {
            error = "inclusões demais para o fuzzer";
            return false;
        }
        served += text.size();
        included = text;
        return true;
    };
    spice::ImportResult result = spice::import_deck(text, "/fuzz/deck.cir", options, itself);
    if (result.ok && result.warnings.empty()) {
        static auto tables = std::make_unique<EngineTables>();
        tables->element_count = 0;
        tables->variable_count = 0;
        tables->node_overflow = 0;
        tables->set_variable_name(0, "0");
        NoLog log;
        fp_clear();
        try {
            if (!read_netlist(*tables, log, result.netlist)) std::abort();
        } catch (const FloatingPointFault&) {
        }
    }
    return 0;
}
