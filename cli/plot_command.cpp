#include <cerrno>
#include <clocale>
#include <cmath>
#include <sstream>
#include <memory>
#include <string>
#include <cstdio>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include "cli/commands.h"
#include "cli/gui_application_scope.h"
#include "cli/output_files.h"
#include "engine/error_reason.h"
#include "engine/fp_fault.h"
#include "engine/log.h"
#include "engine/text.h"
#include "plot/number_format.h"
#include "engine/scanner.h"
#include "plot/plot_files.h"
#include "plot/plot_keys.h"
#include "plot/plot_painter.h"
#include "plot/response.h"

namespace quorvat::cli {

namespace {

const char* const plot_usage =
    "Uso: quorvat-cli plotar [opções] NUMERADOR...\n"
    "\n"
    "Lê cada NUMERADOR e o seu denominador (o mesmo nome com \".d\" no lugar do primeiro\n"
    "\".n\" do nome do arquivo, como o botão Adicionar) e faz o que o botão Plotar faz,\n"
    "sem janelas: escreve na saída padrão as linhas que o Plotar escreve no log.\n"
    "\n"
    "Opções (os campos da janela \"Resposta em frequência - Arquivos\"):\n"
    "  --wmin TEXTO       Frequência mínima (padrão 0.1)\n"
    "  --wmax TEXTO       Frequência máxima (padrão 5)\n"
    "  --gmin TEXTO       Módulo mínimo (dB) (padrão -60)\n"
    "  --gmax TEXTO       Módulo máximo (dB) (padrão 20)\n"
    "  --fmin TEXTO       Fase mínima (graus) (padrão -180)\n"
    "  --fmax TEXTO       Fase máxima (graus) (padrão 180)\n"
    "  --amin TEXTO       Atraso de grupo mínimo (s) (padrão -10)\n"
    "  --amax TEXTO       Atraso de grupo máximo (s) (padrão 40)\n"
    "  --segmentos TEXTO  Segmentos (padrão 300)\n"
    "  --hz               Frequências em Hz\n"
    "  --linear           frequências em escala linear (sem \"escala logarítmica\")\n"
    "  --sem-grade        sem a grade\n"
    "  --sem-fase         sem as curvas de fase\n"
    "  --sem-atraso       sem as curvas de atraso de grupo\n"
    "  --tamanho LxA      largura e altura da figura em pixels (padrão 680x442)\n"
    "  --png ARQUIVO      grava a figura da janela do gráfico em ARQUIVO (PNG)\n"
    "  --csv ARQUIVO      grava a tabela das respostas em ARQUIVO: uma linha por ponto\n"
    "                     k com k, w e o ganho (dB), a fase (graus) e o atraso (s) de\n"
    "                     cada curva; nan onde o ponto não é desenhado\n"
    "\n"
    "Código de saída: 0 o Plotar terminou com sucesso; 1 o Plotar parou com uma mensagem\n"
    "(ou um arquivo de saída não pôde ser gravado); 2 erro de uso.\n";

constexpr int max_image_side = 8192;  // pixels of either side of the picture

struct PlotFlags {
    PlotTexts texts;
    PlotChecks checks;
    int width = 680, height = 442;
    std::string png, csv;
    std::vector<std::string> numerators;
};

// The log of a plot without windows: each line to standard output as it is written.
class StreamLog : public LogSink {
public:
    explicit StreamLog(std::ostream& out) : out_(out) {}
    void log(std::string_view line) override {
        FpFlagsGuard keep_flags;
        out_ << to_utf8(line) << '\n';
    }

private:
    std::ostream& out_;
};

int usage_error(std::ostream& err, const std::string& message) {
    err << "quorvat-cli plotar: " << message << "\n\n" << plot_usage;
    return 2;
}

bool parse_size(const std::string& text, int& width, int& height) {
    std::size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    auto side = [](const std::string& digits, int& out) {
        if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
        out = std::stoi(digits);
        return out >= 1 && out <= max_image_side;
    };
    return side(text.substr(0, x), width) && side(text.substr(x + 1), height);
}

// Returns 0 when the flags are complete, 2 after a usage message, -1 for --help.
int parse_plot_flags(const Arguments& args, PlotFlags& flags, std::ostream& err) {
    std::string* const texts[] = {&flags.texts.wmin, &flags.texts.wmax, &flags.texts.gmin,
                                  &flags.texts.gmax, &flags.texts.fmin, &flags.texts.fmax,
                                  &flags.texts.amin, &flags.texts.amax, &flags.texts.segments};
    const char* const text_options[] = {"--wmin", "--wmax", "--gmin", "--gmax", "--fmin",
                                        "--fmax", "--amin", "--amax", "--segmentos"};
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (options_ended || word == "-" || word.empty() || word[0] != '-') {
            flags.numerators.push_back(word);
            continue;
        }
        if (word == "--") {
            options_ended = true;
            continue;
        }
        if (word == "--help" || word == "-h") return -1;
        if (word == "--hz") flags.checks.hz = true;
        else if (word == "--linear") flags.checks.log = false;
        else if (word == "--sem-grade") flags.checks.grid = false;
        else if (word == "--sem-fase") flags.checks.phase = false;
        else if (word == "--sem-atraso") flags.checks.delay = false;
        else {
            std::string* text = nullptr;
            for (std::size_t t = 0; t < std::size(text_options); ++t)
                if (word == text_options[t]) text = texts[t];
            bool takes_value = text || word == "--tamanho" || word == "--png" || word == "--csv";
            if (!takes_value) return usage_error(err, "opção desconhecida: " + word);
            if (i + 1 >= args.size()) return usage_error(err, "falta o valor de " + word);
            const std::string& value = args[++i];
            if (text) *text = value;
            else if (word == "--png") flags.png = value;
            else if (word == "--csv") flags.csv = value;
            else if (!parse_size(value, flags.width, flags.height))
                return usage_error(err, "tamanho inválido: " + value + " (use LxA, por exemplo 680x442)");
        }
    }
    if (flags.numerators.empty()) return usage_error(err, "falta o NUMERADOR");
    return 0;
}

// The limits follow the rule of the plot window's keys: finite, distinct and, for the
// frequencies on a logarithmic axis with positive limits, a finite ratio above 1.
bool limits_usable(const PlotFlags& flags, std::ostream& err) {
    const PlotTexts& t = flags.texts;
    const struct {
        const char *low_name, *high_name;
        const std::string &low, &high;
        bool frequency;
    } ranges[] = {{"--wmin", "--wmax", t.wmin, t.wmax, true},
                  {"--gmin", "--gmax", t.gmin, t.gmax, false},
                  {"--fmin", "--fmax", t.fmin, t.fmax, false},
                  {"--amin", "--amax", t.amin, t.amax, false}};
    for (const auto& range : ranges) {
        double low = lenient_to_double(range.low), high = lenient_to_double(range.high);
        for (auto [name, value] : {std::pair{range.low_name, low}, std::pair{range.high_name, high}})
            if (!std::isfinite(value)) {
                err << "quorvat-cli plotar: " << name << " recusado: o valor não é um número finito\n";
                return false;
            }
        bool ratio = range.frequency && flags.checks.log && low > 0.0 && high > 0.0;
        if (!usable_range(low, high, ratio)) {
            err << "quorvat-cli plotar: " << range.low_name << " e " << range.high_name
                << " recusados: a faixa fica vazia ou degenerada\n";
            return false;
        }
    }
    return true;
}

// The picture encoded in memory: the image writer does not report a failed write or
// close of its file (a full disk), so the bytes go through the checked writer.
bool encode_png(const PlotFlags& flags, PlotterState& state, PlotChecks& checks, std::string& png, std::ostream& err) {
    GuiApplicationScope gui;
    if (!gui.ready()) {
        err << "quorvat-cli plotar: a figura precisa de uma QGuiApplication\n";
        return false;
    }
    QImage image(flags.width, flags.height, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        paint_plot(painter, flags.width, flags.height, state, checks);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        err << "quorvat-cli plotar: não foi possível codificar a figura " << flags.png << "\n";
        return false;
    }
    png.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

// "%.17g" whatever the locale; a point that is not drawn is "nan".
std::string csv_number(double value) { return std::isnan(value) ? "nan" : format_general(value, 17); }

std::string csv_text(const PlotterState& state) {
    std::ostringstream csv;
    const ResponseTable& table = state.response;
    csv << "k,w";
    for (int j = 1; j <= state.curves.curve_count; ++j) csv << ",ganho" << j << ",fase" << j << ",atraso" << j;
    csv << '\n';
    for (int k = 0; k <= state.settings.segments; ++k) {
        csv << k << ',' << csv_number(table.frequency[k]);
        for (int j = 0; j < state.curves.curve_count; ++j)
            csv << ',' << csv_number(table.gain[j][k]) << ',' << csv_number(table.phase[j][k]) << ','
                << csv_number(table.delay[j][k]);
        csv << '\n';
    }
    return csv.str();
}

}  // namespace

int plot_command(const Arguments& args, std::ostream& out, std::ostream& err) {
    PlotFlags flags;
    int parsed = parse_plot_flags(args, flags, err);
    if (parsed == -1) {
        out << plot_usage;
        return 0;
    }
    if (parsed != 0) return parsed;

    if (!limits_usable(flags, err)) return 2;

    // The file list that Adicionar makes of each numerator.
    std::vector<std::string> lines;
    for (const std::string& numerator : flags.numerators) {
        std::vector<std::string> added = adicionar_lines(numerator);
        if (added.size() != 2)
            return usage_error(err, "nome de numerador sem \".n\" ou \".N\" no nome do arquivo: " + numerator);
        lines.insert(lines.end(), added.begin(), added.end());
    }

    auto state = std::make_unique<PlotterState>();
    StreamLog log(out);
    fp_clear();
    try {
        if (!plotar(*state, lines, flags.texts, log)) {
            out.flush();
            return 1;
        }
    } catch (const FloatingPointFault& fault) {
        out.flush();
        err << fault.what() << "\n";
        return 1;
    }
    out.flush();
    bool any_computable = false;
    for (int j = 1; j <= state->curves.curve_count; ++j)
        any_computable = any_computable || curve_computable(state->curves, j);
    if (state->curves.curve_count > 0 && !any_computable) {
        err << "quorvat-cli plotar: nenhuma curva pode ser calculada\n";
        return 1;
    }

    PlotChecks checks = flags.checks;
    std::vector<PendingFile> files;
    if (!flags.png.empty()) {
        std::string png;
        if (!encode_png(flags, *state, checks, png, err)) return 1;
        files.push_back(bytes_file(flags.png, std::move(png)));
    }
    if (!flags.csv.empty()) {
        evaluate_pending(*state, resolve_log_axis(state->settings, checks), checks.hz);
        files.push_back(bytes_file(flags.csv, csv_text(*state)));
    }
    // Both files or neither, never over one of the pairs read.
    if (!files.empty() && !write_output_files("plotar", files, lines, err)) return 1;
    return 0;
}

}  // namespace quorvat::cli
