// quorvat-cli: the analysis and the plot of Quorvat MNA without windows.
#include <clocale>
#include <iostream>
#include <string>

#include "cli/commands.h"

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
    "  simbolico  escreve cada variável em função dos nomes dos elementos\n"
    "\n"
    "\"quorvat-cli COMANDO --help\" explica cada comando.\n";

}  // namespace

int main(int argc, char** argv) {
    // The user's locale, as any program; every number the tool writes or reads still
    // uses a full stop, because the engine and the writers format in the "C" locale.
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::cerr << usage;
        return 2;
    }
    std::string command = argv[1];
    quorvat::cli::Arguments args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "ajuda") {
        std::cout << usage;
        return 0;
    }
    if (command == "analisar") return quorvat::cli::analyze_command(args, std::cout, std::cerr);
    if (command == "verificar") return quorvat::cli::verify_command(args, std::cout, std::cerr);
    if (command == "raizes") return quorvat::cli::roots_command(args, std::cout, std::cerr);
    if (command == "exportar") return quorvat::cli::export_command(args, std::cout, std::cerr);
    if (command == "simbolico") return quorvat::cli::symbolic_command(args, std::cout, std::cerr);
    if (command == "plotar") return quorvat::cli::plot_command(args, std::cout, std::cerr);
    std::cerr << "quorvat-cli: comando desconhecido: " << command << "\n\n" << usage;
    return 2;
}
