#include <cmath>
#include <iostream>
#include <memory>

#include "cli/analysis_options.h"
#include "cli/commands.h"
#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "engine/tables.h"
#include "engine/text.h"
#include "exact/exact_reference.h"
#include "numeric/verification.h"

namespace quorvat::cli {

const char* const analysis_usage =
    "Uso: quorvat-cli analisar [opções] NETLIST\n"
    "\n"
    "Analisa o circuito do NETLIST como o comando Abrir do programa, sem janelas:\n"
    "grava o numerador e o denominador de cada variável nos arquivos BASE.nK e\n"
    "BASE.dK e escreve na saída padrão as linhas que a análise escreve no log.\n"
    "\n"
    "Opções (as caixas do diálogo \"Análise\"; por padrão só a normalização):\n"
    "  --estampas         Listar estampas\n"
    "  --passos           Listar passos\n"
    "  --detalhes         Listar detalhes\n"
    "  --sem-normalizar   não normalizar os polinômios\n"
    "  --condensar        Usar condensação pivotal\n"
    "  --final            Ver sistema resolvido\n"
    "  --dispersao TEXTO  Dispersão de coeficientes (padrão 1e12)\n"
    "  --zero TEXTO       Menor valor não nulo (padrão 1e-12)\n"
    "  --selecionar LISTA variáveis a listar, por exemplo 1,3\n"
    "  --exato            Cálculo exato: resolve o sistema em aritmética exata, sem a\n"
    "                     eliminação em ponto flutuante, em circuitos de qualquer tamanho\n"
    "  --variaveis LISTA  com --exato: calcula e grava só essas variáveis, por exemplo 3,7\n"
    "  --escala W         com --exato: grava os resultados em função de s/W (W em rad/s),\n"
    "                     para resultados cujos coeficientes não cabem em ponto flutuante\n"
    "\n"
    "Sem --exato, a eliminação em ponto flutuante é conferida com a solução exata e,\n"
    "quando falha ou fica imprecisa, os resultados exatos tomam o seu lugar.\n"
    "\n"
    "Um NETLIST .cir, .sp, .spice ou .ckt (ou com --spice) é um deck SPICE, importado\n"
    "como em \"quorvat-cli importar\", que explica --fontes e --amp-op.\n"
    "\n"
    "Código de saída: 0 análise terminada com sucesso; 1 a análise parou com uma\n"
    "mensagem no log; 2 erro de uso; 3 erro de ponto flutuante; 4 algum resultado\n"
    "gravado difere da solução de referência.\n";

namespace {

bool parse_selection(const std::string& list, std::set<int>& selection) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos || item.size() > 5)
            return false;
        int variable = std::stoi(item);
        if (variable < 1 || variable > exact_limits.variables) return false;
        selection.insert(variable);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

// The host of a run without windows: the log goes to standard output as it is written,
// the pause is answered at once from the flags.
class CliHost : public AnalysisHost {
public:
    CliHost(const AnalysisFlags& flags, std::ostream& out) : flags_(flags), out_(out) {}

    SuppliedNetlist deck;  // the netlist imported from a SPICE deck

    void log(std::string_view line) override {
        FpFlagsGuard keep_flags;
        out_ << to_utf8(line) << '\n';
    }
    std::string netlist_file_name() override { return flags_.netlist; }
    bool supplied_netlist(std::string& text) override { return deck.give(text); }
    bool checked(AnalysisOption option) override { return flags_.checked.count(option) != 0; }
    bool wait_for_options(const std::vector<std::string>& /*variable_names*/, NumericOptions& numbers) override {
        numbers.coefficient_dispersion = lenient_to_double(flags_.dispersion_text);
        numbers.zero_threshold = lenient_to_double(flags_.zero_text);
        return true;
    }
    bool selected(int variable) override { return flags_.selection.count(variable) != 0; }
    std::vector<int32_t> variables_to_solve(int32_t) override {
        return {flags_.wanted.begin(), flags_.wanted.end()};
    }
    double frequency_scale() override { return flags_.scale; }
    void set_results_listable(bool) override {}
    void enable_variables_menu() override {}
    void propose_plot_file(const std::string&) override {}

private:
    const AnalysisFlags& flags_;
    std::ostream& out_;
};

}  // namespace

bool parse_analysis_flags(const Arguments& args, AnalysisFlags& flags, bool& help, std::ostream& err) {
    help = false;
    auto toggle = [&](const std::string& word) -> bool {
        static const std::pair<const char*, AnalysisOption> on[] = {
            {"--estampas", AnalysisOption::list_stamps},   {"--passos", AnalysisOption::steps},
            {"--detalhes", AnalysisOption::details},       {"--condensar", AnalysisOption::pivotal_condensation},
            {"--final", AnalysisOption::final_system},     {"--exato", AnalysisOption::exact},
        };
        for (const auto& [flag, option] : on)
            if (word == flag) {
                flags.checked.insert(option);
                return true;
            }
        if (word == "--sem-normalizar") {
            flags.checked.erase(AnalysisOption::normalise);
            return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            help = true;
            return true;
        }
        if (toggle(word)) continue;
        if (int deck = take_deck_flag(args, i, flags.deck, "analisar", err); deck != 0) {
            if (deck < 0) return false;
            continue;
        }
        if (word == "--dispersao" || word == "--zero" || word == "--selecionar" || word == "--variaveis" ||
            word == "--escala") {
            if (i + 1 >= args.size()) {
                err << "quorvat-cli analisar: falta o valor de " << word << "\n";
                return false;
            }
            const std::string& value = args[++i];
            if (word == "--dispersao") flags.dispersion_text = value;
            else if (word == "--zero") flags.zero_text = value;
            else if (word == "--escala") {
                flags.scale = lenient_to_double(value);
                if (!(flags.scale > 0.0) || !std::isfinite(flags.scale)) {
                    err << "quorvat-cli analisar: escala de frequência inválida: " << value << "\n";
                    return false;
                }
            } else if (word == "--variaveis") {
                if (!parse_selection(value, flags.wanted)) {
                    err << "quorvat-cli analisar: lista de variáveis inválida: " << value << "\n";
                    return false;
                }
            } else if (!parse_selection(value, flags.selection)) {
                err << "quorvat-cli analisar: lista de variáveis inválida: " << value << "\n";
                return false;
            }
            continue;
        }
        if (word.size() > 1 && word[0] == '-' && word != "-") {
            err << "quorvat-cli analisar: opção desconhecida: " << word << "\n";
            return false;
        }
        if (!flags.netlist.empty()) {
            err << "quorvat-cli analisar: mais de um netlist: " << word << "\n";
            return false;
        }
        flags.netlist = word;
    }
    if (flags.netlist.empty()) {
        err << "quorvat-cli analisar: falta o NETLIST\n";
        return false;
    }
    if ((!flags.wanted.empty() || flags.scale != 1.0) && !flags.checked.count(AnalysisOption::exact)) {
        err << "quorvat-cli analisar: --variaveis e --escala valem só com --exato\n";
        return false;
    }
    return true;
}

int run_cli_analysis(const AnalysisFlags& flags, ResultCheck* check, std::ostream& out, std::ostream& err) {
    auto tables = std::make_unique<EngineTables>();
    CliHost host(flags, out);
    exact::ExactReference exact;
    if (!host.deck.load(flags.netlist, flags.deck, out, err)) return 1;
    try {
        fp_clear();
        bool success = run_analysis(*tables, host, check, &exact);
        out.flush();
        return success ? 0 : 1;
    } catch (const FloatingPointFault& fault) {
        out.flush();
        err << fault.what() << "\n";
        return 3;
    }
}

int analyze_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    AnalysisFlags flags;
    bool help = false;
    if (!parse_analysis_flags(args, flags, help, err)) {
        err << "\n" << analysis_usage;
        return 2;
    }
    if (help) {
        out << analysis_usage;
        return 0;
    }
    NumericalVerification verification;
    int status = run_cli_analysis(flags, &verification, out, err);
    if (status == 0 && !within_tolerance(verification.last_report(), verification_tolerance)) return 4;
    return status;
}

bool within_tolerance(const VerificationReport& report, double tolerance) {
    for (const VariableCheck& v : report.variables)
        if (!(v.error <= tolerance)) return false;
    return true;
}

}  // namespace quorvat::cli
