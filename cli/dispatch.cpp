#include "cli/dispatch.h"

#include "cli/terminal_output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace quorvat::cli {

const char* const painting_executable = "quorvat-cli-grafico";

namespace {

const char* const usage =
    "Uso: quorvat-cli COMANDO [opções] ARQUIVOS\n"
    "\n"
    "Comandos:\n"
    "  analisar   analisa um netlist e grava os polinômios de cada variável\n"
    "  verificar  analisa e compara cada variável com a solução numérica direta\n"
    "  simbolico  escreve cada variável em função dos nomes dos elementos\n"
    "  plotar     lê pares de arquivos de polinômios e traça a resposta em frequência\n"
    "  raizes     mostra o ganho, os zeros e os polos de um par de arquivos\n"
    "  exportar   escreve um par de arquivos para Python, MATLAB/Octave ou JSON\n"
    "  importar   converte um deck SPICE num netlist\n"
    "  tempo      calcula x(t) de pares de arquivos: fórmula, tabela e figura\n"
    "\n"
    "\"quorvat-cli COMANDO --help\" explica cada comando.\n";

// The painting executable: beside this one in the build tree, in the package's own
// folder once installed.
std::string painting_path() {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return painting_executable;
    for (fs::path candidate : {self.parent_path() / painting_executable,
                               self.parent_path() / ".." / "libexec" / "quorvat-mna" / painting_executable})
        if (fs::exists(candidate, error)) return candidate.string();
    return (self.parent_path() / painting_executable).string();
}

// Replaces this process by the painting executable with the same arguments.
int hand_to_painting(int argc, char** argv) {
    std::string path = painting_path();
    std::vector<char*> arguments(argv, argv + argc);
    arguments[0] = path.data();
    arguments.push_back(nullptr);
    std::cout.flush();
    execv(path.c_str(), arguments.data());
    std::cerr << "quorvat-cli: não foi possível executar " << path << ": " << std::strerror(errno) << "\n";
    return 1;
}

int run_command(int argc, char** argv, const PaintingCommands* painting) {
    std::string command = argv[1];
    Arguments args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "ajuda") {
        std::cout << usage;
        return 0;
    }
    if (command == "analisar") return analyze_command(args, std::cout, std::cerr);
    if (command == "verificar") return verify_command(args, std::cout, std::cerr);
    if (command == "raizes") return roots_command(args, std::cout, std::cerr);
    if (command == "exportar") return export_command(args, std::cout, std::cerr);
    if (command == "plotar") return painting ? painting->plot(args, std::cout, std::cerr) : hand_to_painting(argc, argv);
    if (command == "simbolico") return symbolic_command(args, std::cout, std::cerr);
    if (command == "importar") return import_command(args, std::cout, std::cerr);
    if (command == "tempo") {
        bool picture = std::find(args.begin(), args.end(), "--png") != args.end();
        if (picture && !painting) return hand_to_painting(argc, argv);
        return time_command(args, std::cout, std::cerr, painting ? painting->time_png : nullptr);
    }
    std::cerr << "quorvat-cli: comando desconhecido: " << command << "\n\n" << usage;
    return 2;
}

}  // namespace

int dispatch(int argc, char** argv, const PaintingCommands* painting) {
    // The user's locale, as any program; every number the tool writes or reads still
    // uses a full stop, because the engine and the writers format in the "C" locale.
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::cerr << usage;
        return 2;
    }
    TerminalFilters visible_controls;
    int status;
    try {
        status = run_command(argc, argv, painting);
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << "quorvat-cli: memória insuficiente.\n";
        status = 1;
    }
    return checked_exit_status(status);
}

}  // namespace quorvat::cli
