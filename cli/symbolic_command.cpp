// quorvat-cli simbolico: the network functions of a netlist in the element names.
#include <cctype>
#include <map>
#include <cmath>
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
#include "symbolic/dominant_poles.h"
#include "symbolic/graph_values.h"
#include "symbolic/dominant_terms.h"
#include "symbolic/formats.h"
#include "symbolic/gain_pole_report.h"
#include "symbolic/nested_formats.h"
#include "symbolic/nested_solver.h"
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
    "  --aninhado          escreve cada função como um programa de subexpressões\n"
    "                      compartilhadas (os menores do sistema, D1, D2...), sem\n"
    "                      multiplicar: cresce devagar com o circuito (texto, latex ou\n"
    "                      python)\n"
    "  --aproximar TOL     só os termos dominantes: em cada coeficiente de cada potência\n"
    "                      de s, os maiores termos nos valores do netlist, do maior para\n"
    "                      o menor, até que os descartados mudem o coeficiente em no\n"
    "                      máximo TOL relativo (0 <= TOL < 1); o erro obtido em cada\n"
    "                      coeficiente é informado\n"
    "  --banda F1:F2       com --aproximar: limita em vez disso o erro da resposta\n"
    "                      inteira na banda de F1 a F2 Hz (TOL relativo, informado em dB\n"
    "                      e graus)\n"
    "  --polos             as aproximações de polo dominante p1 = -a0/a1, p2 = -a1/a2...\n"
    "                      do denominador em símbolos (termos dominantes a TOL, 0.1 sem\n"
    "                      --aproximar), cada uma conferida com a raiz exata\n"
    "  --ganho-polo        só o ganho em s -> 0 (o valor final com uma fonte degrau) e\n"
    "                      o polo dominante -a0/a1 de cada\n"
    "                      variável, simplificados elemento a elemento: cada elemento\n"
    "                      é retirado ou tomado como dominante enquanto a razão nos\n"
    "                      valores do netlist muda no máximo TOL (de --aproximar, 0.1\n"
    "                      sem ela); rápido mesmo onde os coeficientes têm milhares de\n"
    "                      termos (texto)\n"
    "  --iguais GRUPOS     com --ganho-polo ou --aproximar: elementos casados, de\n"
    "                      valores iguais no netlist, escritos como o primeiro do seu\n"
    "                      grupo nas fórmulas do ganho e do polo, por exemplo\n"
    "                      GM1=GM2=GM3=GM4,RO1=RO2 (como se escreve gm1 = gm2 = gm)\n"
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
    bool nested = false;
    bool poles = false;
    bool gain_pole = false;  // --ganho-polo: only the simplified gain and dominant pole
    double band_low = 0.0, band_high = 0.0;  // Hz; 0: no band
    std::vector<std::vector<std::string>> matched;  // --iguais: groups, each written as its first
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
        if (item.empty() || item.size() > 6 || item.find_first_not_of("0123456789") != std::string::npos) return false;
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

// An element's name as the symbol tables store it: first letter upper case, a coupling's
// M without its "M_".
std::string plain_name(std::string name) {
    if (name.size() > 2 && (name[0] == 'M' || name[0] == 'm') && name[1] == '_') name = name.substr(2);
    if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

// "GM1=GM2=GM3,R1=R2": groups of two names or more.
bool parse_matched(const std::string& text, std::vector<std::vector<std::string>>& groups) {
    for (const std::string& part : split(text)) {
        std::vector<std::string> group;
        for (std::size_t start = 0;;) {
            const std::size_t equal = part.find('=', start);
            std::string name = part.substr(start, equal == std::string::npos ? std::string::npos : equal - start);
            const std::size_t first = name.find_first_not_of(" \t"), last = name.find_last_not_of(" \t");
            if (first == std::string::npos) return false;
            group.push_back(plain_name(name.substr(first, last - first + 1)));
            if (equal == std::string::npos) break;
            start = equal + 1;
        }
        if (group.size() < 2) return false;
        groups.push_back(std::move(group));
    }
    return true;
}

// "F1:F2" in Hz, 0 < F1 <= F2.
bool parse_band(const std::string& text, double& low, double& high) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    const std::string low_text = text.substr(0, colon), high_text = text.substr(colon + 1);
    Scanner first(low_text), second(high_text);
    if (!first.read_number(low) || !second.read_number(high)) return false;
    first.skip_white();
    second.skip_white();
    return first.at_end() && second.at_end() && std::isfinite(low) && std::isfinite(high) && low > 0 && low <= high;
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
        if (word == "--aninhado" || word == "--polos" || word == "--ganho-polo") {
            (word == "--aninhado" ? flags.nested : word == "--polos" ? flags.poles : flags.gain_pole) = true;
            continue;
        }
        if (word == "--variaveis" || word == "--numericos" || word == "--simbolos" || word == "--formato" ||
            word == "--aproximar" || word == "--banda" || word == "--iguais") {
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
            } else if (word == "--banda") {
                valid = parse_band(value, flags.band_low, flags.band_high);
            } else if (word == "--iguais") {
                valid = parse_matched(value, flags.matched);
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
    if (flags.nested && (flags.approximate || flags.poles)) {
        err << "quorvat-cli simbolico: --aninhado não se combina com --aproximar nem com --polos\n";
        return false;
    }
    if (flags.gain_pole && (flags.nested || flags.poles || flags.band_high > 0 ||
                            flags.format != symbolic::SymbolicFormat::text)) {
        err << "quorvat-cli simbolico: --ganho-polo escreve texto e não se combina com --aninhado, --polos nem "
               "--banda\n";
        return false;
    }
    if (flags.nested && flags.format == symbolic::SymbolicFormat::json) {
        err << "quorvat-cli simbolico: --aninhado escreve texto, latex ou python\n";
        return false;
    }
    if (!flags.matched.empty() && ((!flags.approximate && !flags.gain_pole) || flags.band_high > 0)) {
        err << "quorvat-cli simbolico: --iguais pede --ganho-polo ou --aproximar, sem --banda\n";
        return false;
    }
    if (flags.band_high > 0 && !flags.approximate) {
        err << "quorvat-cli simbolico: --banda pede --aproximar\n";
        return false;
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
        // Circuits of any size, under the limits of the exact path.
        if (!read_circuit(tables, host, exact_limits)) {
            err << host.lines();
            return 1;
        }
        // The floating-point assembly where its tables hold the circuit: its faults (a
        // resistor of 0 ohms) are the analysis's.
        if (tables.fits_fixed_tables()) stamp_elements(tables, host);
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

// The line of the check against the exact solution.
void report_check(int difference, std::ostream& notes, std::ostream& err) {
    if (difference == 0) {
        notes << "verificado\n";
    } else if (difference < 0) {
        err << "Não verificado: com os valores do netlist o sistema é singular.\n";
    } else {
        err << "Erro: a expressão simbólica da variável " << difference
            << " difere da solução exata com os valores do netlist.\n";
    }
}

std::string format_number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The approximation's report: the error reached in every coefficient.
void report_approximation(const SymbolicFlags& flags, const symbolic::DominantResult& result,
                          const std::vector<std::string>& names, int node_count, std::ostream& notes) {
    notes << "Aproximação por termos dominantes com tolerância " << format_number("%g", flags.tolerance);
    if (flags.band_high > 0)
        notes << " na banda de " << format_number("%g", flags.band_low) << " a " << format_number("%g", flags.band_high)
              << " Hz";
    notes << " (erro relativo de cada coeficiente nos valores do netlist, exato):\n";
    for (const symbolic::DominantFunction& f : result.reports) {
        notes << "  " << (f.variable > node_count ? "I(" : "V(") << to_utf8(names[f.variable]) << "):";
        if (flags.band_high > 0)
            notes << " na banda, " << format_number("%.3g", f.band_db) << " dB e " << format_number("%.3g", f.band_degrees)
                  << " graus no máximo (400 frequências)";
        notes << "\n";
        for (const auto& [label, parts] : {std::pair{"N(s)", &f.numerator}, std::pair{"D(s)", &f.denominator}}) {
            for (const symbolic::CoefficientReport& c : *parts) {
                notes << "    " << label << " s^" << c.power << ": " << c.kept << (c.kept == 1 ? " termo" : " termos")
                      << ", erro " << format_number("%.2e", c.error);
                if (c.limited) notes << " (tolerância não alcançada com até " << c.paths << " termos candidatos)";
                notes << "\n";
            }
        }
        symbolic::write_gain_and_pole(notes, f.simplified, false);
    }
}

// --iguais: each symbol's representative (same[i] = i when none). Every name must be a
// symbol of the circuit, in one group only, and a group's elements of one kind and one
// value, so that the formulas stay exact at the netlist values. Empty when valid, else
// the reason.
std::string match_symbols(const std::vector<std::vector<std::string>>& groups, const symbolic::SymbolTable& table,
                          std::vector<std::size_t>& same) {
    same.clear();
    if (groups.empty()) return "";
    std::map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < table.symbols.size(); ++i) {
        same.push_back(i);
        index.emplace(plain_name(table.symbols[i].name), i);
    }
    std::vector<bool> taken(same.size(), false);
    for (const std::vector<std::string>& group : groups) {
        std::size_t first = same.size();
        for (const std::string& name : group) {
            const auto at = index.find(name);
            if (at == index.end()) return "elemento sem valor simbólico ou inexistente: " + name;
            const std::size_t found = at->second;
            if (taken[found]) return "elemento em mais de um grupo: " + name;
            taken[found] = true;
            if (first == same.size()) {
                first = found;
                continue;
            }
            const symbolic::Symbol &a = table.symbols[first], &b = table.symbols[found];
            if (a.name[0] != b.name[0]) return a.name + " e " + b.name + " são elementos de tipos diferentes";
            if (a.value != b.value || a.resistance != b.resistance)
                return a.name + " e " + b.name + " têm valores diferentes (" + format_number("%.10g", a.value) + " e " +
                       format_number("%.10g", b.value) + ")";
            same[found] = first;
        }
    }
    return "";
}

// Without --iguais: the elements of one kind and one value that the short formulas hold,
// candidates for matching the user may not have thought of.
void report_alike(const std::vector<const symbolic::GainAndPole*>& parts, const symbolic::SymbolTable& table,
                  std::ostream& notes) {
    std::string text;
    for (const std::vector<std::size_t>& group : symbolic::alike_symbols(parts, table)) {
        text += text.empty() ? " " : "; ";
        for (std::size_t i = 0; i < group.size(); ++i) text += (i ? ", " : "") + plain_name(table.symbols[group[i]].name);
    }
    if (!text.empty())
        notes << "De mesmo tipo e valor nas fórmulas (se forem casados, --iguais os escreve como um só):" << text << "\n";
}

void report_matched(const std::vector<std::vector<std::string>>& groups, std::ostream& notes) {
    if (groups.empty()) return;
    notes << "Elementos casados (de valores iguais), escritos como o primeiro de cada grupo:";
    for (std::size_t g = 0; g < groups.size(); ++g) {
        notes << (g ? ";" : "");
        for (std::size_t i = 0; i < groups[g].size(); ++i) notes << (i ? " = " : " ") << groups[g][i];
    }
    notes << "\n";
}

void report_poles(const symbolic::SymbolicFunction& f, const symbolic::NestedResult& result, std::ostream& notes) {
    std::vector<symbolic::PoleApproximation> poles = symbolic::dominant_poles(f, result);
    notes << "Polos dominantes (p_i = -a_{i-1}/a_i do denominador s*(a0 + a1*s + ...)):\n";
    if (poles.empty()) notes << "  nenhum\n";
    for (const symbolic::PoleApproximation& p : poles) {
        notes << "  p" << p.index << " = " << p.formula << "\n      = " << format_number("%.6g", p.value) << " rad/s";
        if (p.exact_known) {
            notes << "; raiz exata " << format_number("%.6g", p.exact.real());
            if (p.exact.imag() != 0) notes << (p.exact.imag() < 0 ? " - " : " + ") << format_number("%.6g", std::fabs(p.exact.imag())) << "j";
            notes << ", diferença relativa " << format_number("%.2e", p.difference);
        } else {
            notes << "; raiz exata não calculada";
        }
        notes << "\n";
    }
}

// --aninhado, --aproximar and --polos: the graph of shared minors, never multiplied out.
int graph_command(const SymbolicFlags& flags, const EngineTables& tables, const std::vector<int>& wanted,
                  const std::vector<std::string>& names, std::ostream& out, std::ostream& err) {
    const symbolic::NumeratorForm form =
        flags.nested ? symbolic::NumeratorForm::joined : symbolic::NumeratorForm::chained;
    symbolic::NestedResult result = symbolic::solve_nested(tables, flags.choice, wanted, form);
    if (result.status == symbolic::NestedResult::Status::too_large) {
        err << "Forma aninhada grande demais (mais de " << result.item_limit
            << " produtos de menores); use --numericos ou --simbolos\n";
        return 1;
    }
    if (result.status == symbolic::NestedResult::Status::singular) {
        err << "O sistema é singular. Circuito sem solução.\n";
        return 1;
    }
    const bool text = flags.format == symbolic::SymbolicFormat::text;
    std::ostream& notes = text ? out : err;
    const int difference = symbolic::first_nested_difference(result, tables);
    if (flags.nested) {
        symbolic::write_nested(out, flags.format, result, names, tables.node_count);
        if (text) out << "\n";
        report_check(difference, notes, err);
        out.flush();
        return difference == 0 ? 0 : 4;
    }
    if (difference != 0) {
        report_check(difference, notes, err);
        return 4;
    }
    std::vector<std::size_t> same;
    if (const std::string wrong = match_symbols(flags.matched, result.symbols, same); !wrong.empty()) {
        err << "quorvat-cli simbolico: --iguais: " << wrong << "\n";
        return 2;
    }
    if (flags.gain_pole) {
        const double tolerance = flags.approximate ? flags.tolerance : 0.1;
        const std::vector<exact::Rational> values = symbolic::symbol_values(result.symbols);
        notes << "verificado (a forma exata de que as fórmulas foram tiradas)\n";
        report_matched(flags.matched, notes);
        const std::vector<symbolic::GainAndPole> parts =
            symbolic::simplified_gains_and_pole(result, values, result.variables, tolerance, same);
        std::vector<std::string> labels;
        for (int k : result.variables)
            labels.push_back(std::string(k > tables.node_count ? "I(" : "V(") + to_utf8(names[k]) + ")");
        symbolic::write_gains_and_pole(notes, tolerance, labels, parts);
        if (flags.matched.empty()) {
            std::vector<const symbolic::GainAndPole*> all;
            for (const symbolic::GainAndPole& p : parts) all.push_back(&p);
            report_alike(all, result.symbols, notes);
        }
        out.flush();
        return 0;
    }
    symbolic::DominantOptions options;
    options.tolerance = flags.approximate ? flags.tolerance : 0.1;
    options.band_low = flags.band_low;
    options.band_high = flags.band_high;
    options.same = same;
    symbolic::DominantResult dominant;
    try {
        dominant = symbolic::dominant_terms(result, options);
    } catch (const symbolic::TooLarge& limit) {
        err << "Aproximação grande demais (mais de " << limit.limit()
            << " termos guardados de uma vez); use uma tolerância maior, --numericos ou --simbolos\n";
        return 1;
    }
    symbolic::write_functions(out, flags.format, dominant.kept, names, tables.node_count);
    if (text) out << "\n";
    notes << "verificado (a forma exata de que os termos foram tirados)\n";
    report_matched(flags.matched, notes);
    report_approximation(flags, dominant, names, tables.node_count, notes);
    if (flags.matched.empty() && flags.band_high == 0) {
        std::vector<const symbolic::GainAndPole*> all;
        for (const symbolic::DominantFunction& f : dominant.reports) all.push_back(&f.simplified);
        report_alike(all, result.symbols, notes);
    }
    if (flags.poles && !dominant.kept.functions.empty()) report_poles(dominant.kept.functions[0], result, notes);
    out.flush();
    return 0;
}

int solve_and_write(const SymbolicFlags& flags, EngineTables& tables, const std::vector<int>& wanted,
                    const std::vector<std::string>& names, std::ostream& out, std::ostream& err);

}  // namespace

int symbolic_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    CLocaleScope c_numbers;
    FpFlagsGuard callers_flags;  // what the computation raises stays inside the command
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
    std::vector<std::string> names;
    for (int i = 0; i <= tables->variable_count; ++i) names.emplace_back(tables->variable_name(i));
    tables->wanted = wanted;  // the exact solution reduces only these
    try {
        return solve_and_write(flags, *tables, wanted, names, out, err);
    } catch (const FloatingPointFault& fault) {
        err << fault.what() << "\n";
        return 3;
    }
}

namespace {

int solve_and_write(const SymbolicFlags& flags, EngineTables& tables_ref, const std::vector<int>& wanted,
                    const std::vector<std::string>& names, std::ostream& out, std::ostream& err) {
    EngineTables* tables = &tables_ref;
    if (flags.nested || flags.approximate || flags.poles || flags.gain_pole)
        return graph_command(flags, *tables, wanted, names, out, err);

    symbolic::SymbolicResult result = symbolic::solve_symbolic(*tables, flags.choice, wanted);
    if (result.status == symbolic::SymbolicResult::Status::too_large) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "Expressão simbólica grande demais (mais de %ld termos); use --numericos ou --simbolos, "
                      "--aninhado ou --aproximar",
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
    symbolic::write_functions(out, flags.format, result, names, tables->node_count);
    if (text) out << "\n";
    report_check(difference, notes, err);
    out.flush();
    return difference == 0 ? 0 : 4;
}

}  // namespace

}  // namespace quorvat::cli
