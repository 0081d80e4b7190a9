#include "engine/results.h"

#include <cstdio>
#include <string>
#include <vector>

#include "engine/fp_fault.h"
#include "engine/polynomial.h"
#include "engine/result_files.h"

namespace quorvat {

namespace {

// Removes the factor s that the right-hand side put into every result. Returns false
// (message logged) when a denominator of the maximum order would have to be raised.
bool integrate(EngineTables& tables, AnalysisHost& host) {
    for (int k = 1; k <= tables.variable_count; ++k) {
        ResultPolynomial& num = tables.num[k];
        ResultPolynomial& den = tables.den[k];
        if (num.c[0] != 0.0) {
            if (den.degree >= max_order) {
                log_message(host, "Ordem maior que o máximo (%d).", max_order);
                return false;
            }
            for (int i = den.degree; i >= 0; --i) den.c[i + 1] = den.c[i];
            den.c[0] = 0.0;
            ++den.degree;
            if (host.checked(AnalysisOption::details))
                log_message(host, "Integração: Grau do denominador %d aumentado para %d", k, den.degree);
        } else {
            if (num.degree > 0) {
                for (int i = 0; i < num.degree; ++i) num.c[i] = num.c[i + 1];
                --num.degree;
            }
            if (host.checked(AnalysisOption::details)) log_message(host, "Integração: Grau do numerador %d reduzido", k);
        }
    }
    fp_check();
    return true;
}

void normalise(EngineTables& tables) {
    for (int k = 1; k <= tables.variable_count; ++k) {
        poly_normalise(tables.arithmetic, tables.num[k]);
        poly_normalise(tables.arithmetic, tables.den[k]);
        tables.num[k].Cte = tables.num[k].Cte / tables.den[k].Cte;
        tables.den[k].Cte = 1.0;
        fp_check();
    }
}

}  // namespace

std::vector<int32_t> result_variables(const EngineTables& tables) {
    if (!tables.solved.empty()) return tables.solved;
    std::vector<int32_t> all;
    for (int32_t k = 1; k <= tables.variable_count; ++k) all.push_back(k);
    return all;
}


bool adjust_results(EngineTables& tables, AnalysisHost& host) {
    if (!integrate(tables, host)) {
        host.set_results_listable(false);  // half-adjusted results are never offered
        return false;
    }
    if (host.checked(AnalysisOption::normalise)) normalise(tables);
    return true;
}

void use_exact_results(EngineTables& tables) {
    // The fixed records keep a copy where they can, for whatever reads them.
    if (tables.fits_fixed_tables())
        for (int32_t k : result_variables(tables)) {
            if (!narrow(tables.exact_num[k], tables.num[k]) || !narrow(tables.exact_den[k], tables.den[k])) break;
        }
    tables.results_exact = true;
}

bool write_results(EngineTables& tables, AnalysisHost& host) {
    host.set_results_listable(true);
    list_selected_results(tables, host);

    // Exact results keep every digit of their doubles; the elimination's keep the
    // design's format.
    const std::string& base = tables.base_name;
    const std::vector<int32_t> solved = result_variables(tables);
    std::vector<PendingFile> files;
    for (int32_t k : solved) {
        std::string n = base + ".n" + std::to_string(k), d = base + ".d" + std::to_string(k);
        if (tables.results_exact) {
            const double w = tables.frequency_scale;
            files.push_back({n, [&p = tables.exact_num[k], w](std::FILE* f) { return poly_write_exact(p, f, w); }});
            files.push_back({d, [&p = tables.exact_den[k], w](std::FILE* f) { return poly_write_exact(p, f, w); }});
        } else {
            files.push_back({n, [&p = tables.num[k]](std::FILE* f) { return poly_write(p, f); }});
            files.push_back({d, [&p = tables.den[k]](std::FILE* f) { return poly_write(p, f); }});
        }
    }
    if (!write_files_all_or_nothing(files, tables.netlist_path, host)) return false;
    for (std::size_t i = 0; i < solved.size() && host.checked(AnalysisOption::details); ++i) {
        int32_t k = solved[i];
        const char* name = tables.variable_name(k);
        log_message(host, "Numerador %d (%s) salvo no arquivo %s", k, name, files[2 * i].name.c_str());
        log_message(host, "Denominador %d (%s) salvo no arquivo %s", k, name, files[2 * i + 1].name.c_str());
    }
    if (!host.checked(AnalysisOption::details)) log_message(host, "Resultados salvos como %s.*", base.c_str());
    host.propose_plot_file(base + ".n" + std::to_string(solved.empty() ? 1 : solved.front()));
    return true;
}

void list_selected_results(const EngineTables& tables, AnalysisHost& host) {
    for (int32_t i : result_variables(tables)) {
        if (!host.selected(i)) continue;
        log_message(host, "Numerador %d (%s):", i, tables.variable_name(i));
        if (tables.results_exact)
            print_result_polynomial(host, tables.exact_num[i]);
        else
            print_result_polynomial(host, tables.num[i]);
        log_message(host, "Denominador %d (%s):", i, tables.variable_name(i));
        if (tables.results_exact)
            print_result_polynomial(host, tables.exact_den[i]);
        else
            print_result_polynomial(host, tables.den[i]);
    }
}

}  // namespace quorvat
