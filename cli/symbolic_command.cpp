// quorvat-cli simbolico: the network functions of a netlist in the element names.
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <set>

#include "cli/commands.h"
#include "cli/spice_deck.h"
#include "engine/analysis_run.h"
#include "engine/assembly.h"
#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "engine/text.h"
#include "exact/exact_solver.h"
#include "numeric/verification.h"
#include "symbolic/approximation.h"
#include "symbolic/formats.h"
#include "symbolic/symbolic_checks.h"
#include "symbolic/symbolic_solver.h"

namespace quorvat::cli {

namespace {

const char* const symbolic_usage =
    "Uso: quorvat-cli simbolico [opções] NETLIST\n"
    "\n"
    "Lê o NETLIST como \"quorvat-cli analisar\" e escreve a transformada de Laplace de\n"
    "cada variável como razão de dois polinômios em s cujos coeficientes são polinômios\n"
    "nos nomes dos elementos (R1, C2, gm...; um K dá M_ e o seu nome, a indutância\n"
    "mútua). Os resistores entram pela resistência; as condições iniciais ficam como os\n"
    "números do netlist. Fatores comuns do numerador e do denominador são cancelados.\n"
    "O resultado é conferido: com os valores do netlist no lugar dos símbolos, ele deve\n"
    "ser exatamente a solução exata do mesmo circuito (\"verificado\").\n"
    "\n"
    "  --variaveis LISTA   variáveis a escrever, por exemplo 2,5 (padrão: todas)\n"
    "  --numericos NOMES   elementos que ficam com os seus valores numéricos, por\n"
    "                      exemplo R3,C2 (frações binárias exatas dos valores)\n"
    "  --simbolos NOMES    só estes elementos ficam simbólicos (exclui --numericos)\n"
    "  --formato F         texto (padrão), latex, python (sympy) ou json\n"
    "  --aproximar TOL     descarta, em cada coeficiente de cada potência de s, os\n"
    "                      termos menores nos valores do netlist enquanto juntos mudam\n"
    "                      o coeficiente em no máximo TOL relativo (0 <= TOL < 1)\n"
    "  --spice, --fontes impulso|degrau, --amp-op NOME:+,-,saida\n"
    "                      como em \"quorvat-cli analisar\": um NETLIST .cir, .sp, .spice\n"
    "                      ou .ckt é um deck SPICE, importado antes da leitura\n"
    "\n"
    "\"verificado\" e o resumo da aproximação vão para a saída padrão no formato texto\n"
    "e para a saída de erros nos outros.\n"
    "\n"
    "Código de saída: 0 resultado verificado; 1 a leitura ou o cálculo parou com uma\n"
    "mensagem; 2 erro de uso; 3 erro de ponto flutuante; 4 o resultado simbólico\n"
    "difere da solução exata.\n";

struct SymbolicFlags {
    std::set<int> variables;
    symbolic::SymbolChoice choice;
    symbolic::SymbolicFormat format = symbolic::SymbolicFormat::text;
    bool approximate = false;
    double tolerance = 0.0;
    std::string netlist;
    DeckFlags deck;  // a SPICE deck is imported in memory
};

std::vector<std::string> split(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

bool parse_variables(const std::string& list, std::set<int>& variables) {
    for (const std::string& item : split(list)) {
        if (item.empty() || item.size() > 3 || item.find_first_not_of("0123456789") != std::string::npos) return false;
        int variable = std::stoi(item);
        if (variable < 1) return false;
        variables.insert(variable);
    }
    return true;
}

bool parse_tolerance(const std::string& text, double& tolerance) {
    Scanner scanner(text);
    if (!scanner.read_number(tolerance)) return false;
    scanner.skip_white();
    return scanner.at_end() && tolerance >= 0.0 && tolerance < 1.0;
}

bool parse_flags(const Arguments& args, SymbolicFlags& flags, bool& help, std::ostream& err) {
    bool numeric = false, symbols = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            help = true;
            return true;
        }
        if (int deck = take_deck_flag(args, i, flags.deck, "simbolico", err); deck != 0) {
            if (deck < 0) return false;
            continue;
        }
        if (word == "--variaveis" || word == "--numericos" || word == "--simbolos" || word == "--formato" ||
            word == "--aproximar") {
            if (i + 1 >= args.size()) {
                err << "quorvat-cli simbolico: falta o valor de " << word << "\n";
                return false;
            }
            const std::string& value = args[++i];
            bool valid = true;
            if (word == "--variaveis") {
                valid = parse_variables(value, flags.variables);
            } else if (word == "--formato") {
                valid = symbolic::parse_symbolic_format(value, flags.format);
            } else if (word == "--aproximar") {
                valid = parse_tolerance(value, flags.tolerance);
                flags.approximate = true;
            } else {
                (word == "--numericos" ? numeric : symbols) = true;
                valid = symbolic::parse_element_names(value, flags.choice.names);
            }
            if (!valid) {
                err << "quorvat-cli simbolico: valor inválido de " << word << ": " << value << "\n";
                return false;
            }
            continue;
        }
        if (word.size() > 1 && word[0] == '-') {
            err << "quorvat-cli simbolico: opção desconhecida: " << word << "\n";
            return false;
        }
        if (!flags.netlist.empty()) {
            err << "quorvat-cli simbolico: mais de um netlist: " << word << "\n";
            return false;
        }
        flags.netlist = word;
    }
    if (numeric && symbols) {
        err << "quorvat-cli simbolico: --numericos e --simbolos não podem ser usados juntos\n";
        return false;
    }
    flags.choice.mode = numeric ? symbolic::SymbolChoice::Mode::all_but_listed
                        : symbols ? symbolic::SymbolChoice::Mode::only_listed
                                  : symbolic::SymbolChoice::Mode::all;
    if (flags.netlist.empty()) {
        err << "quorvat-cli simbolico: falta o NETLIST\n";
        return false;
    }
    return true;
}

// The reading stages' host: the log is kept, to be shown only when reading fails.
class ReadingHost : public AnalysisHost {
public:
    explicit ReadingHost(std::string netlist) : netlist_(std::move(netlist)) {}

    SuppliedNetlist deck;  // the netlist imported from a SPICE deck
    void log(std::string_view line) override {
        FpFlagsGuard keep_flags;
        if (!line.empty()) lines_ += to_utf8(line) + "\n";  // not the run's opening empty line
    }
    std::string netlist_file_name() override { return netlist_; }
    bool supplied_netlist(std::string& text) override { return deck.give(text); }
    bool checked(AnalysisOption) override { return false; }
    bool wait_for_options(const std::vector<std::string>&, NumericOptions&) override { return true; }
    bool selected(int) override { return false; }
    void set_results_listable(bool) override {}
    void enable_variables_menu() override {}
    void propose_plot_file(const std::string&) override {}
    const std::string& lines() const { return lines_; }

private:
    std::string netlist_;
    std::string lines_;
};

// Reads and assembles the circuit as the analysis does; 0, or the exit status.
int read_circuit_for(const SymbolicFlags& flags, EngineTables& tables, ReadingHost& host, std::ostream& err) {
    try {
        fp_clear();
        if (!read_circuit(tables, host)) {
            err << host.lines();
            return 1;
        }
        // The floating-point assembly: its faults (a resistor of 0 ohms) are the
        // analysis's, and the verification's test frequencies come from it.
        stamp_elements(tables, host);
        fp_check();
    } catch (const FloatingPointFault& fault) {
        err << host.lines() << fault.what() << "\n";
        return 3;
    }
    for (const std::string& name : symbolic::unknown_names(tables, flags.choice)) {
        err << "quorvat-cli simbolico: elemento sem valor ou inexistente: " << name << "\n";
        return 2;
    }
    for (int k : flags.variables)
        if (k > tables.variable_count) {
            err << "quorvat-cli simbolico: a variável " << k << " não existe (o circuito tem " << tables.variable_count
                << ")\n";
            return 2;
        }
    return 0;
}

}  // namespace

int symbolic_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    CLocaleScope c_numbers;
    SymbolicFlags flags;
    bool help = false;
    if (!parse_flags(args, flags, help, err)) {
        err << "\n" << symbolic_usage;
        return 2;
    }
    if (help) {
        out << symbolic_usage;
        return 0;
    }
    auto tables = std::make_unique<EngineTables>();
    ReadingHost host(flags.netlist);
    // The import's notes stay off standard output unless it is the text format.
    if (!host.deck.load(flags.netlist, flags.deck, flags.format == symbolic::SymbolicFormat::text ? out : err, err))
        return 1;
    if (int status = read_circuit_for(flags, *tables, host, err)) return status;

    std::vector<int> wanted(flags.variables.begin(), flags.variables.end());
    if (wanted.empty())
        for (int k = 1; k <= tables->variable_count; ++k) wanted.push_back(k);
    symbolic::SymbolicResult result = symbolic::solve_symbolic(*tables, flags.choice, wanted);
    if (result.status == symbolic::SymbolicResult::Status::too_large) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "Expressão simbólica grande demais (mais de %ld termos); use --numericos ou --simbolos",
                      result.term_limit);
        err << line << "\n";
        return 1;
    }
    if (result.status == symbolic::SymbolicResult::Status::singular) {
        err << "O sistema é singular. Circuito sem solução.\n";
        return 1;
    }

    const bool text = flags.format == symbolic::SymbolicFormat::text;
    std::ostream& notes = text ? out : err;
    int difference = symbolic::first_difference(result, *tables);
    symbolic::ApproximationReport report;
    if (flags.approximate) report = symbolic::approximate(result, flags.tolerance, test_frequencies(*tables));

    std::vector<std::string> names;
    for (int i = 0; i <= tables->variable_count; ++i) names.emplace_back(tables->variable_name(i));
    symbolic::write_functions(out, flags.format, result, names, tables->node_count);
    if (text) out << "\n";
    if (difference == 0) {
        notes << "verificado\n";
    } else if (difference < 0) {
        err << "Não verificado: com os valores do netlist o sistema é singular.\n";
    } else {
        err << "Erro: a expressão simbólica da variável " << difference
            << " difere da solução exata com os valores do netlist.\n";
    }
    if (flags.approximate) notes << symbolic::approximation_summary(flags.tolerance, report) << "\n";
    out.flush();
    return difference == 0 ? 0 : 4;
}

}  // namespace quorvat::cli
