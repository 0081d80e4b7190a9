// quorvat-cli raizes and exportar: commands over one pair of polynomial files.
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>

#include "cli/commands.h"
#include "engine/c_locale.h"
#include "engine/file_read.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "engine/text.h"
#include "numeric/export.h"
#include "numeric/roots.h"
#include "plot/plot_files.h"

namespace quorvat::cli {

namespace {

const char* const roots_usage =
    "Uso: quorvat-cli raizes NUMERADOR [DENOMINADOR]\n"
    "\n"
    "Mostra o ganho, os zeros e os polos de H(s) = numerador/denominador: as partes\n"
    "real e imaginária de cada raiz e, para pares complexos, a frequência natural ω0 e o\n"
    "fator de qualidade Q. Sem DENOMINADOR, usa o nome que o comando Adicionar daria\n"
    "(teste.n1 -> teste.d1).\n";

const char* const export_usage =
    "Uso: quorvat-cli exportar --formato python|matlab|json NUMERADOR [DENOMINADOR]\n"
    "\n"
    "Escreve o par de arquivos na saída padrão para outras ferramentas:\n"
    "  python  b e a em potências decrescentes de s, como scipy.signal espera\n"
    "  matlab  vetores num e den para tf(num, den) no MATLAB ou no Octave\n"
    "  json    coeficientes em potências crescentes, graus e constantes\n"
    "Sem DENOMINADOR, usa o nome que o comando Adicionar daria.\n";

class StreamLog : public LogSink {
public:
    explicit StreamLog(std::ostream& out) : out_(out) {}
    void log(std::string_view line) override { out_ << to_utf8(line) << '\n'; }

private:
    std::ostream& out_;
};

bool read_polynomial_file(const std::string& path, PolynomialFile& p, std::ostream& err) {
    StreamLog log(err);
    std::string content;
    FileRead read = read_text_file(log, path, max_wide_polynomial_file_bytes, content);
    if (read != FileRead::ok) {
        if (read == FileRead::missing) err << "Arquivo " << to_utf8(path) << " não encontrado.\n";
        return false;
    }
    Scanner scanner(content);
    if (!poly_read_any_degree(scanner, p, log)) {
        err << "Arquivo " << to_utf8(path) << " inválido.\n";
        return false;
    }
    return true;
}

// The two file names of a pair: the denominator given, or derived as Adicionar does.
bool pair_names(const std::vector<std::string>& files, std::string& numerator, std::string& denominator,
                std::ostream& err, const char* usage) {
    if (files.empty() || files.size() > 2) {
        err << (files.empty() ? "falta o NUMERADOR\n" : "arquivos demais\n") << "\n" << usage;
        return false;
    }
    numerator = files[0];
    if (files.size() == 2) {
        denominator = files[1];
        return true;
    }
    std::optional<std::string> derived = denominator_name(numerator);
    if (!derived) {
        err << "O nome " << to_utf8(numerator) << " não tem sufixo \".n\": indique o denominador.\n";
        return false;
    }
    denominator = *derived;
    return true;
}

int with_pair(const std::string& numerator_file, const std::string& denominator_file, std::ostream& err,
              const std::function<void(const PolynomialFile&, const PolynomialFile&)>& work) {
    CLocaleScope c_numbers;
    PolynomialFile numerator, denominator;
    try {
        fp_clear();
        if (!read_polynomial_file(numerator_file, numerator, err) ||
            !read_polynomial_file(denominator_file, denominator, err))
            return 1;
        work(numerator, denominator);
        return 0;
    } catch (const FloatingPointFault& fault) {
        err << fault.what() << "\n";
        return 3;
    }
}

}  // namespace

int roots_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    for (const std::string& word : args) {
        if (word == "--help" || word == "-h") {
            out << roots_usage;
            return 0;
        }
        if (word.size() > 1 && word[0] == '-') {
            err << "quorvat-cli raizes: opção desconhecida: " << word << "\n\n" << roots_usage;
            return 2;
        }
        files.push_back(word);
    }
    std::string numerator, denominator;
    if (!pair_names(files, numerator, denominator, err, roots_usage)) return 2;
    bool complete = true;
    int status = with_pair(numerator, denominator, err, [&](const PolynomialFile& n, const PolynomialFile& d) {
        out << "Numerador: " << to_utf8(numerator) << "\nDenominador: " << to_utf8(denominator) << "\n"
            << describe_poles_and_zeros(n.p, d.p, n.scale, d.scale, &complete);
    });
    if (status == 0 && !complete) {
        err << "Não foi possível calcular todas as raízes.\n";
        return 1;
    }
    return status;
}

int export_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::optional<ExportFormat> format;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            out << export_usage;
            return 0;
        }
        if (word == "--formato") {
            ExportFormat chosen;
            if (i + 1 >= args.size() || !parse_export_format(args[i + 1], chosen)) {
                err << "quorvat-cli exportar: --formato pede python, matlab ou json\n\n" << export_usage;
                return 2;
            }
            format = chosen;
            ++i;
            continue;
        }
        if (word.size() > 1 && word[0] == '-') {
            err << "quorvat-cli exportar: opção desconhecida: " << word << "\n\n" << export_usage;
            return 2;
        }
        files.push_back(word);
    }
    if (!format) {
        err << "quorvat-cli exportar: falta --formato\n\n" << export_usage;
        return 2;
    }
    std::string numerator, denominator;
    if (!pair_names(files, numerator, denominator, err, export_usage)) return 2;
    return with_pair(numerator, denominator, err, [&](const PolynomialFile& n, const PolynomialFile& d) {
        out << export_pair(*format, {n.p, n.scale}, {d.p, d.scale}, numerator, denominator);
    });
}

}  // namespace quorvat::cli
