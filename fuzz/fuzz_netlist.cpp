// Fuzzes the netlist reader through the whole analysis run: the pause is answered at
// once and the options come from the input's first two bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/tables.h"

namespace {

using namespace quorvat;

class FuzzHost : public AnalysisHost {
public:
    std::string file;
    unsigned options = 0;
    void log(std::string_view line) override { lines += line.size() + 1; }
    std::string netlist_file_name() override { return file; }
    bool checked(AnalysisOption option) override { return options & (1u << static_cast<int>(option)); }
    bool wait_for_options(const std::vector<std::string>&, NumericOptions& numbers) override {
        static const double dispersions[] = {1e12, 1e16, 1e3, -1.0};
        static const double zeros[] = {1e-12, 0.0, 1e-3, -1.0};
        numbers.coefficient_dispersion = dispersions[(options >> 6) & 3];
        numbers.zero_threshold = zeros[(options >> 8) & 3];
        return true;
    }
    bool selected(int variable) override { return variable % 2 == 1; }
    void set_results_listable(bool) override {}
    void enable_variables_menu() override {}
    void propose_plot_file(const std::string&) override {}
    std::size_t lines = 0;
};

std::string scratch_folder() {
    static std::string folder = [] {
        char pattern[] = "/tmp/quorvat-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) std::abort();
        return std::string(made);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto tables = std::make_unique<EngineTables>();
    FuzzHost host;
    if (size >= 2) {
        host.options = data[0] | (data[1] << 8);
        data += 2;
        size -= 2;
    }
    host.file = scratch_folder() + "/f.net";
    std::FILE* file = std::fopen(host.file.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    // The listings of large systems are slow and add nothing new: keep them to small ones.
    if (size > 600) host.options &= ~((1u << static_cast<int>(AnalysisOption::steps)) |
                                      (1u << static_cast<int>(AnalysisOption::list_stamps)));
    fp_clear();
    try {
        run_analysis(*tables, host);
    } catch (const FloatingPointFault&) {
        // A floating-point fault abandons the run, as the error box does in the program.
    }
    fp_clear();
    return 0;
}
