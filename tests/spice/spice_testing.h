// Helpers of the importer tests: imports from text with included files held in memory,
// and the analysis of an imported netlist, whose results are evaluated at a point of s.
#pragma once

#include <complex>
#include <map>
#include <memory>
#include <string>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "spice/importer.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat::spice::testing {

inline ImportResult import_text(const std::string& deck, const ImportOptions& options = {},
                                const std::map<std::string, std::string>& files = {}) {
    FileReader reader = [files](const std::string& path, std::string& text, std::string& error) {
        auto found = files.find(path);
        if (found == files.end()) {
            error = "arquivo " + path + " inexistente";
            return false;
        }
        text = found->second;
        return true;
    };
    return import_deck(deck, "/decks/deck.cir", options, reader);
}

/// The lines of the netlist that are not header comments, title excluded.
inline std::string element_lines(const std::string& netlist) {
    std::string out;
    std::size_t start = netlist.find('\n') + 1;
    while (start < netlist.size()) {
        std::size_t end = netlist.find('\n', start);
        std::string line = netlist.substr(start, end - start + 1);
        if (line[0] != '*') out += line;
        start = end + 1;
    }
    return out;
}

/// An analysis of netlist text handed over in memory, as the command-line tool does.
class Analysis {
public:
    explicit Analysis(const std::string& netlist) {
        host_.netlist = netlist;
        host_.file_name = dir_.file("deck.cir");
        fp_clear();
        ok_ = run_analysis(*tables_, host_);
    }
    bool ok() const { return ok_; }
    std::string log() const { return host_.text(); }

    /// The Laplace transform of the named variable at s.
    std::complex<double> at(const std::string& name, std::complex<double> s) const {
        for (int k = 1; k <= tables_->variable_count; ++k)
            if (name == tables_->variable_name(k))
                return tables_->num[k].Cte / tables_->den[k].Cte * evaluate(tables_->num[k], s) /
                       evaluate(tables_->den[k], s);
        ADD_FAILURE() << "variável " << name << " ausente";
        return 0.0;
    }

private:
    static std::complex<double> evaluate(const ResultPolynomial& p, std::complex<double> s) {
        std::complex<double> sum = 0.0;
        for (int i = p.degree; i >= 0; --i) sum = sum * s + p.c[i];
        return sum;
    }
    struct Host : quorvat::testing::FakeHost {
        std::string netlist;
        bool supplied_netlist(std::string& text) override {
            text = netlist;
            return true;
        }
    };
    quorvat::testing::ScratchDir dir_;
    Host host_;
    std::unique_ptr<EngineTables> tables_ = std::make_unique<EngineTables>();
    bool ok_ = false;
};

}  // namespace quorvat::spice::testing
