// What the benchmark programs share: a host that answers the options pause at once and
// a scratch folder for the result files.
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "engine/analysis_host.h"

namespace quorvat::bench {

namespace fs = std::filesystem;

// A host that answers the options pause at once with the dialog's defaults (only
// normalisation checked) and counts the log lines instead of showing them.
class BenchHost : public AnalysisHost {
public:
    explicit BenchHost(std::string netlist) : netlist_(std::move(netlist)) {}

    long lines = 0;
    bool exact = false;  // answer "Cálculo exato" as checked

    void log(std::string_view) override { ++lines; }
    std::string netlist_file_name() override { return netlist_; }
    bool checked(AnalysisOption option) override {
        return option == AnalysisOption::normalise || (exact && option == AnalysisOption::exact);
    }
    bool wait_for_options(const std::vector<std::string>&, NumericOptions& numbers) override {
        numbers.coefficient_dispersion = 1e12;
        numbers.zero_threshold = 1e-12;
        return true;
    }
    bool selected(int) override { return false; }
    void set_results_listable(bool) override {}
    void enable_variables_menu() override {}
    void propose_plot_file(const std::string&) override {}

private:
    std::string netlist_;
};

// A scratch folder for the result files; its name holds no '.', so the base name of the
// results stays inside it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device device;
        do path_ = fs::temp_directory_path() / ("quorvat-bench-" + std::to_string(device()));
        while (!fs::create_directory(path_));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    // Writes a netlist into the folder and returns its path.
    std::string write(const std::string& name, const std::string& text) const {
        fs::path target = path_ / name;
        std::FILE* file = std::fopen(target.c_str(), "w");
        if (file) {
            std::fputs(text.c_str(), file);
            std::fclose(file);
        }
        return target.string();
    }
    // Copies an example netlist into the folder and returns the copy's path.
    std::string copy_example(const std::string& name) const {
        fs::path target = path_ / name;
        fs::copy_file(fs::path(QUORVAT_SOURCE_DIR) / "examples" / name, target, fs::copy_options::overwrite_existing);
        return target.string();
    }

private:
    fs::path path_;
};

}  // namespace quorvat::bench
