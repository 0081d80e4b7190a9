#include "time/time_report.h"

#include <cctype>
#include <charconv>
#include <memory>

#include "engine/analysis_run.h"
#include "engine/file_read.h"
#include "engine/fp_fault.h"
#include "engine/netlist.h"
#include "engine/tables.h"
#include "engine/text.h"
#include "time/formula.h"
#include "time/number_text.h"

namespace quorvat {

namespace {

class SilentLog : public LogSink {
public:
    void log(std::string_view) override {}
};

}  // namespace

std::string variable_number(const std::string& numerator) {
    std::size_t name_start = numerator.rfind('/');
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    std::size_t dot = numerator.find(".n", name_start);
    if (dot == std::string::npos) dot = numerator.find(".N", name_start);
    std::string digits;
    for (std::size_t i = dot + 2;
         dot != std::string::npos && i < numerator.size() && std::isdigit(static_cast<unsigned char>(numerator[i]));
         ++i)
        digits += numerator[i];
    return digits;
}

std::string variable_unit(const std::string& numerator, const std::string& number) {
    int k = 0;
    const char* end = number.data() + number.size();
    auto [stop, error] = std::from_chars(number.data(), end, k);
    if (number.empty() || error != std::errc() || stop != end || k < 1) return {};
    SilentLog quiet;
    std::string text;
    if (read_text_file(quiet, base_name_for(numerator) + ".net", max_netlist_bytes, text) != FileRead::ok) return {};
    auto tables = std::make_unique<EngineTables>();
    tables->set_variable_name(0, "0");  // ground, as the analysis run names it
    try {
        if (!read_netlist(*tables, quiet, text)) return {};
    } catch (const FloatingPointFault&) {
        return {};
    }
    return k <= tables->variable_count ? "V" : "A";
}

std::string describe_pole(const PoleTerms& p) {
    std::string text = number_text(p.sigma, 10);
    if (p.omega != 0.0) text += " ± " + number_text(p.omega, 10) + "j";
    if (p.multiplicity > 1) text += " (multiplicidade " + std::to_string(p.multiplicity) + ")";
    return text;
}

std::vector<std::string> describe_lines(const std::string& numerator, const std::string& denominator,
                                        const Expansion& e, const std::string& name, bool text, bool latex) {
    std::vector<std::string> lines{to_utf8(numerator) + " / " + to_utf8(denominator)};
    std::string poles = "  Polos:";
    if (e.poles.empty()) poles += " nenhum";
    for (std::size_t i = 0; i < e.poles.size(); ++i) poles += (i ? "; " : " ") + describe_pole(e.poles[i]);
    lines.push_back(poles);
    for (const MergedCluster& c : e.merged)
        lines.push_back("  Agrupamento: " + std::to_string(c.roots) + " raízes do denominador a até " +
                        number_text(c.radius, 2) + " de " + number_text(c.sigma, 10) +
                        (c.omega != 0.0 ? " ± " + number_text(c.omega, 10) + "j" : "") +
                        " tratadas como polo de multiplicidade " + std::to_string(c.multiplicity) +
                        " (resíduos separados de até " + number_text(c.split_residue, 3) + ", unidos " +
                        number_text(c.merged_coefficient, 3) + ")");
    if (e.refused_clusters > 0)
        lines.push_back("  Aviso: " + std::to_string(e.refused_clusters) +
                        " grupo(s) de raízes próximas mantido(s) separado(s): unidos mudariam x(t) em mais de 1e-6");
    if (!e.impulses.empty()) {
        lines.push_back("  Impulsos: o grau do numerador não é menor que o do denominador; os termos em δ(t)");
        lines.push_back("  ficam fora da tabela e da figura.");
    }
    bool omitted = false;
    if (text) lines.push_back("  " + formula_text(e, name, &omitted));
    if (latex) lines.push_back("  " + formula_latex(e, name, &omitted));
    if (omitted) lines.push_back("  (termos menores que 1e-12 do maior foram omitidos da fórmula)");
    return lines;
}

}  // namespace quorvat
