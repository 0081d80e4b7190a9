#include <cstdio>
#include <iostream>

#include "cli/analysis_options.h"
#include "cli/commands.h"
#include "engine/c_locale.h"
#include "engine/scanner.h"
#include "engine/text.h"
#include "numeric/verification.h"

namespace quorvat::cli {

namespace {

const char* const verify_usage =
    "Uso: quorvat-cli verificar [opções de analisar] [--tolerancia T] NETLIST\n"
    "\n"
    "Analisa o NETLIST como \"quorvat-cli analisar\" e depois compara a transformada de\n"
    "cada variável, calculada pelos polinômios, com a solução numérica direta do mesmo\n"
    "sistema em s = jω, em frequências escolhidas a partir das frequências naturais do\n"
    "circuito. Escreve uma tabela com o erro relativo de cada variável.\n"
    "\n"
    "  --tolerancia T   maior erro relativo aceito (padrão 1e-6)\n"
    "\n"
    "Código de saída: 0 todas as variáveis dentro da tolerância; 4 alguma imprecisa ou\n"
    "nenhuma frequência de teste utilizável (não verificado);\n"
    "1, 2 e 3 como em \"analisar\".\n";

}  // namespace

int verify_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    CLocaleScope c_numbers;
    Arguments rest;
    double tolerance = verification_tolerance;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << verify_usage << "\n" << analysis_usage;
            return 0;
        }
        if (args[i] == "--tolerancia") {
            if (i + 1 >= args.size()) {
                err << "quorvat-cli verificar: falta o valor de --tolerancia\n\n" << verify_usage;
                return 2;
            }
            tolerance = lenient_to_double(args[++i]);
            continue;
        }
        rest.push_back(args[i]);
    }
    AnalysisFlags flags;
    bool help = false;
    if (!parse_analysis_flags(rest, flags, help, err)) {
        err << "\n" << verify_usage;
        return 2;
    }
    NumericalVerification verification;
    int status = run_cli_analysis(flags, &verification, out, err);
    if (status != 0) return status;

    const VerificationReport& report = verification.last_report();
    if (report.frequencies.empty()) {
        // No point could be used: nothing was checked, which is no pass.
        out << "\nVerificação numérica: não verificado (nenhuma frequência de teste utilizável).\n";
        return 4;
    }
    char range[80];
    std::snprintf(range, sizeof range, " (de %.3g a %.3g rad/s)", report.frequencies.front(),
                  report.frequencies.back());
    out << "\nVerificação numérica em " << report.frequencies.size() << " frequências" << range << ":\n";
    out << "Variável  Nome          Grau N  Grau D  Erro relativo  Situação\n";
    bool all_within = true;
    for (const VariableCheck& v : report.variables) {
        bool ok = v.error <= tolerance;  // false for an error that is not a number
        all_within = all_within && ok;
        char line[200];
        std::snprintf(line, sizeof line, "%8d  %-12s  %6d  %6d  %13.1e  %s", v.variable, to_utf8(v.name).c_str(),
                      v.numerator_degree, v.denominator_degree, v.error, ok ? "ok" : "impreciso");
        out << line << "\n";
    }
    return all_within ? 0 : 4;
}

}  // namespace quorvat::cli
