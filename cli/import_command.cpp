#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/spice_deck.h"

namespace quorvat::cli {

namespace {

const char* const import_usage =
    "Uso: quorvat-cli importar [opções] ENTRADA\n"
    "\n"
    "Lê o deck SPICE ENTRADA (subconjunto linear: R, C, L, K, E, F, G, H, V, I e\n"
    "subcircuitos) e escreve um netlist que \"analisar\" lê com o mesmo significado.\n"
    "O cabeçalho do netlist lista os nomes trocados e as notas da importação.\n"
    "\n"
    "Opções:\n"
    "  --saida ARQUIVO          grava o netlist em ARQUIVO (padrão: a saída padrão)\n"
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
        if (word == "--saida" && i + 1 < args.size()) {
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
    if (output.empty()) {
        out << imported.netlist;
        return 0;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(output.c_str(), "wb"), std::fclose);
    bool written = file && std::fwrite(imported.netlist.data(), 1, imported.netlist.size(), file.get()) ==
                               imported.netlist.size();
    if (!file || std::fclose(file.release()) != 0 || !written) {
        err << "quorvat-cli importar: não foi possível gravar " << output << "\n";
        return 1;
    }
    for (const std::string& line : imported.notes) out << "Nota: " << line << "\n";
    out << "Netlist gravado em " << output << "\n";
    return 0;
}

}  // namespace quorvat::cli
