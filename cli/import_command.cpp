#include <iostream>

#include "cli/commands.h"
#include "cli/output_files.h"
#include "cli/spice_deck.h"

namespace quorvat::cli {

namespace {

const char* const import_usage =
    "Uso: quorvat-cli importar [opções] ENTRADA\n"
    "\n"
    "Lê o deck SPICE ENTRADA (subconjunto linear: R, C, L, K, E, F, G, H, V, I, POLY\n"
    "linear e subcircuitos) e escreve um netlist que \"analisar\" lê com o mesmo\n"
    "significado. Diodos e transistores (D, Q, M, J) viram o seu circuito de pequenos\n"
    "sinais no ponto de operação que o ngspice calcula; as fontes valem então só o AC.\n"
    "O cabeçalho do netlist lista os nomes trocados, o ponto de operação e as notas.\n"
    "\n"
    "Opções:\n"
    "  --saida ARQUIVO          grava o netlist em ARQUIVO (padrão: a saída padrão)\n"
    "  --ponto                  mostra o ponto de operação em tabela (no lugar do\n"
    "                           netlist, quando não há --saida)\n"
    "  --fontes impulso|degrau  todas as fontes de um tipo (padrão: num deck com AC,\n"
    "                           impulso do valor AC e as outras valem 0; sem AC,\n"
    "                           degrau do valor DC)\n"
    "  --amp-op NOME:+,-,saida  as instâncias do subcircuito NOME viram amp-op ideal;\n"
    "                           pinos pela posição (1 o primeiro) ou pelo nome\n"
    "\n"
    "Código de saída: 0 netlist escrito; 1 deck recusado (as linhas recusadas no erro\n"
    "padrão) ou arquivo não gravado; 2 erro de uso.\n";

}  // namespace

int import_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    DeckFlags flags;
    std::string input, output;
    bool point = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            out << import_usage;
            return 0;
        }
        int taken = take_deck_flag(args, i, flags, "importar", err);
        if (taken < 0) {
            err << "\n" << import_usage;
            return 2;
        }
        if (taken > 0) continue;
        if (word == "--ponto") {
            point = true;
        } else if (word == "--saida" && i + 1 < args.size()) {
            output = args[++i];
        } else if (word.size() > 1 && word[0] == '-') {
            err << "quorvat-cli importar: opção desconhecida ou sem valor: " << word << "\n\n" << import_usage;
            return 2;
        } else if (!input.empty()) {
            err << "quorvat-cli importar: mais de uma entrada: " << word << "\n\n" << import_usage;
            return 2;
        } else {
            input = word;
        }
    }
    if (input.empty()) {
        err << "quorvat-cli importar: falta a ENTRADA\n\n" << import_usage;
        return 2;
    }
    spice::ImportResult imported = spice::import_deck_file(input, flags.options);
    if (!imported.ok) {
        err << "Deck SPICE " << input << " recusado:\n";
        for (const std::string& line : imported.refusals) err << "  " << line << "\n";
        return 1;
    }
    for (const std::string& line : imported.warnings) err << "Aviso: " << line << "\n";
    if (point) {
        if (imported.small_signal) out << "Ponto de operação de " << input << " (ngspice)\n\n"
                                       << spice::format_point_table(imported.point);
        else out << "O deck " << input << " não tem diodos nem transistores: não há ponto de operação.\n";
        if (output.empty()) return 0;
        out << "\n";
    }
    if (output.empty()) {
        out << imported.netlist;
        return 0;
    }
    // Never over the deck itself, never a fragment where the old netlist was.
    if (!write_output_files("importar", {bytes_file(output, std::move(imported.netlist))}, {input}, err)) return 1;
    for (const std::string& line : imported.notes) out << "Nota: " << line << "\n";
    out << "Netlist gravado em " << output << "\n";
    return 0;
}

}  // namespace quorvat::cli
