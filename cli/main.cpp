// quorvat-cli: the analysis and the plot of Quorvat MNA without windows.
#include <clocale>
#include <iostream>
#include <new>
#include <string>

#include "cli/commands.h"
#include "cli/terminal_output.h"

namespace {

const char* const usage =
    "Uso: quorvat-cli COMANDO [opções] ARQUIVOS\n"
    "\n"
    "Comandos:\n"
    "  analisar   analisa um netlist e grava os polinômios de cada variável\n"
    "  verificar  analisa e compara cada variável com a solução numérica direta\n"
    "  plotar     lê pares de arquivos de polinômios e traça a resposta em frequência\n"
    "  raizes     mostra o ganho, os zeros e os polos de um par de arquivos\n"
    "  exportar   escreve um par de arquivos para Python, MATLAB/Octave ou JSON\n"
    "\n"
    "\"quorvat-cli COMANDO --help\" explica cada comando.\n";

int dispatch(const std::string& command, const quorvat::cli::Arguments& args) {
    if (command == "--help" || command == "-h" || command == "ajuda") {
        std::cout << usage;
        return 0;
    }
    if (command == "analisar") return quorvat::cli::analyze_command(args, std::cout, std::cerr);
    if (command == "verificar") return quorvat::cli::verify_command(args, std::cout, std::cerr);
    if (command == "raizes") return quorvat::cli::roots_command(args, std::cout, std::cerr);
    if (command == "exportar") return quorvat::cli::export_command(args, std::cout, std::cerr);
    if (command == "plotar") return quorvat::cli::plot_command(args, std::cout, std::cerr);
    std::cerr << "quorvat-cli: comando desconhecido: " << command << "\n\n" << usage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The user's locale, as any program; every number the tool writes or reads still
    // uses a full stop, because the engine and the writers format in the "C" locale.
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::cerr << usage;
        return 2;
    }
    quorvat::cli::TerminalFilters visible_controls;
    int status;
    try {
        status = dispatch(argv[1], quorvat::cli::Arguments(argv + 2, argv + argc));
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << "quorvat-cli: memória insuficiente.\n";
        status = 1;
    }
    return quorvat::cli::checked_exit_status(status);
}
