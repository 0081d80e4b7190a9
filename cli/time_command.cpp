// quorvat-cli tempo: x(t) of each pair of polynomial files, as a formula, a table and a picture.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/output_files.h"
#include "plot/time_painter.h"
#include "engine/analysis_run.h"
#include "engine/file_read.h"
#include "engine/fp_fault.h"
#include "engine/netlist.h"
#include "engine/scanner.h"
#include "engine/text.h"
#include "plot/plot_files.h"
#include "time/formula.h"
#include "time/inverse_laplace.h"
#include "time/number_text.h"
#include "time/partial_fractions.h"
#include "time/time_csv.h"
#include "time/time_report.h"

namespace quorvat::cli {

namespace {

const char* const time_usage =
    "Uso: quorvat-cli tempo [opções] NUMERADOR...\n"
    "\n"
    "Calcula x(t), para t ≥ 0, de cada par de arquivos de polinômios (até 20): o\n"
    "denominador de cada NUMERADOR é o nome que o botão Adicionar daria (\".d\" no lugar\n"
    "do primeiro \".n\"). A transformada inversa vem das frações parciais sobre os polos\n"
    "isolados com certeza (aritmética de intervalos) e é tabelada com erro ≤ 1e-12.\n"
    "Raízes do denominador que diferem só pelo arredondamento dos coeficientes (até\n"
    "1e-12 + 8.9e-16·|c|) são tratadas como um polo múltiplo, e isso é informado.\n"
    "\n"
    "Opções:\n"
    "  --expressao        escreve x(t) em texto (o padrão quando nenhuma saída é pedida)\n"
    "  --latex            escreve x(t) em LaTeX\n"
    "  --csv ARQUIVO      grava a tabela: t e x(t) de cada par, 17 algarismos\n"
    "  --png ARQUIVO      grava a figura de x(t) de todos os pares\n"
    "  --tamanho LxA      largura e altura da figura em pixels (padrão 680x442)\n"
    "  --pontos N         pontos da tabela (padrão 501)\n"
    "  --tmin T           início do intervalo em segundos (padrão 0)\n"
    "  --tmax T           fim do intervalo (padrão: escolhido pelos polos e informado)\n"
    "  --verificar        compara a tabela com a inversa numérica de Talbot e com o\n"
    "                     teorema do valor final\n"
    "  --nome NOME        nome da função no lugar de x (teste.n3 -> NOME3(t))\n"
    "  --unidade TEXTO    unidade do eixo vertical da figura (padrão: V ou A, pelo\n"
    "                     netlist de mesmo nome, quando existe)\n"
    "\n"
    "Termos de impulso (δ(t), δ'(t)...) aparecem na fórmula, mas não na tabela nem na figura.\n"
    "\n"
    "Código de saída: 0 sucesso; 1 arquivo ausente, inválido ou não gravado; 2 erro de\n"
    "uso; 4 uma verificação falhou.\n";

constexpr int max_pairs = 20;
constexpr int max_points = 100001;
constexpr int max_image_side = 8192;
constexpr double talbot_tolerance = 1e-9;   // of the curve's largest magnitude
constexpr double settled_fraction = 0.02;   // a response within 2% of its final value has settled
constexpr double max_drawn_span = 1e300;    // of the values in the picture, well inside the doubles
constexpr double min_drawn_time_fraction = 1e-9;  // of the last time: the shortest interval drawn

struct TimeFlags {
    bool text = false, latex = false, verify = false;
    std::string csv, png, name = "x", unit;
    bool unit_given = false;
    int width = 680, height = 442, points = 501;
    double tmin = 0.0;
    std::optional<double> tmax;
    std::vector<std::string> numerators;
};

struct Pair {
    std::string numerator, denominator, name, unit;
    std::unique_ptr<InverseLaplace> transform;
    TimeTable table;
};

class ErrorLog : public LogSink {
public:
    explicit ErrorLog(std::ostream& err) : err_(err) {}
    void log(std::string_view line) override { err_ << to_utf8(line) << '\n'; }

private:
    std::ostream& err_;
};

int usage_error(std::ostream& err, const std::string& message) {
    err << "quorvat-cli tempo: " << message << "\n\n" << time_usage;
    return 2;
}

bool parse_real(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && std::isfinite(value);
}

bool parse_count(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && value >= low && value <= high;
}

bool parse_size(const std::string& text, int& width, int& height) {
    std::size_t x = text.find('x');
    return x != std::string::npos && parse_count(text.substr(0, x), 1, max_image_side, width) &&
           parse_count(text.substr(x + 1), 1, max_image_side, height);
}

// 0 when complete, 2 after a usage message, -1 for --help.
int parse_flags(const Arguments& args, TimeFlags& flags, std::ostream& err) {
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (options_ended || word == "-" || word.empty() || word[0] != '-') {
            flags.numerators.push_back(word);
            continue;
        }
        if (word == "--") options_ended = true;
        else if (word == "--help" || word == "-h") return -1;
        else if (word == "--expressao") flags.text = true;
        else if (word == "--latex") flags.latex = true;
        else if (word == "--verificar") flags.verify = true;
        else {
            static const char* const valued[] = {"--csv", "--png", "--tamanho", "--pontos", "--tmin", "--tmax", "--nome",
                                                 "--unidade"};
            if (std::find(std::begin(valued), std::end(valued), word) == std::end(valued))
                return usage_error(err, "opção desconhecida: " + word);
            if (i + 1 >= args.size()) return usage_error(err, "falta o valor de " + word);
            const std::string& value = args[++i];
            double real = 0.0;
            if (word == "--csv") flags.csv = value;
            else if (word == "--png") flags.png = value;
            else if (word == "--nome") flags.name = value;
            else if (word == "--unidade") flags.unit = value, flags.unit_given = true;
            else if (word == "--tamanho") {
                if (!parse_size(value, flags.width, flags.height))
                    return usage_error(err, "tamanho inválido: " + value + " (use LxA, por exemplo 680x442)");
            } else if (word == "--pontos") {
                if (!parse_count(value, 2, max_points, flags.points))
                    return usage_error(err, "número de pontos inválido: " + value + " (de 2 a 100001)");
            } else if (!parse_real(value, real)) {
                return usage_error(err, "número inválido em " + word + ": " + value);
            } else if (word == "--tmin") {
                flags.tmin = real;
            } else {
                flags.tmax = real;
            }
        }
    }
    if (flags.numerators.empty()) return usage_error(err, "falta o NUMERADOR");
    if (static_cast<int>(flags.numerators.size()) > max_pairs) return usage_error(err, "no máximo 20 pares");
    if (flags.tmin < 0.0) return usage_error(err, "--tmin não pode ser negativo: x(t) vale para t ≥ 0");
    if (flags.tmax && !(*flags.tmax > flags.tmin)) return usage_error(err, "--tmax deve ser maior que --tmin");
    if (!flags.text && !flags.latex && flags.csv.empty() && flags.png.empty() && !flags.verify) flags.text = true;
    return 0;
}

bool read_file(const std::string& path, PolynomialFile& p, std::ostream& err) {
    ErrorLog log(err);
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
    // "1e310" reads as infinity; the transform of such a file would be taken as 0.
    bool finite = std::isfinite(p.p.Cte);
    for (double c : p.p.c) finite = finite && std::isfinite(c);
    if (!finite) {
        err << "Arquivo " << to_utf8(path) << " inválido: coeficiente além do maior número de ponto flutuante (1.8e308).\n";
        return false;
    }
    return true;
}

void describe(const Pair& pair, const TimeFlags& flags, std::ostream& out) {
    for (const std::string& line : describe_lines(pair.numerator, pair.denominator, pair.transform->expansion(),
                                                  pair.name, flags.text, flags.latex))
        out << line << "\n";
}

// The Talbot comparison and the final value; false when one of them fails.
bool verify(const Pair& pair, const std::vector<double>& times, std::ostream& out) {
    const std::vector<double>& x = pair.table.values;
    double largest = 0.0;
    for (double v : x) largest = std::max(largest, std::fabs(v));
    double difference = 0.0;
    int compared = 0, skipped = 0;
    const std::size_t n = times.size();
    for (int j = 1; j <= 5; ++j) {
        std::size_t i = (n - 1) * static_cast<std::size_t>(j) / 5;
        if (!(times[i] > 0.0)) continue;
        std::optional<double> talbot = pair.transform->talbot(times[i], largest);
        if (!talbot || !std::isfinite(*talbot)) {
            ++skipped;
            continue;
        }
        difference = std::max(difference, std::fabs(*talbot - x[i]));
        ++compared;
    }
    bool ok = true;
    double relative = largest > 0.0 ? difference / largest : difference;
    out << "  Verificação: tabela com precisão de trabalho de " << pair.table.precision_bits << " bits";
    if (pair.table.uncertain_points > 0) {
        out << "; " << pair.table.uncertain_points << " ponto(s) sem garantia de 1e-12";
        ok = false;
    }
    if (compared == 0) {
        out << "\n  Inversa numérica de Talbot: nenhum instante verificável (o contorno precisaria de nós demais)";
    } else {
        out << "\n  Inversa numérica de Talbot em " << compared << " instantes: maior diferença "
            << number_text(difference, 3) << " (" << number_text(relative, 3) << " do maior |x|)";
    }
    if (skipped && compared) out << "; " << skipped << " instante(s) pediriam nós demais";
    if (relative > talbot_tolerance) {
        out << ": NÃO confere";
        ok = false;
    }
    out << "\n";
    FinalValue final_value = pair.transform->final_value();
    if (final_value.applies && !std::isfinite(final_value.value)) {
        out << "  Valor final: além do maior número de ponto flutuante: NÃO confere\n";
        return false;
    }
    if (!final_value.applies) {
        out << "  Valor final: não se aplica (polos fora do semiplano esquerdo ou múltiplos na origem)\n";
        return ok;
    }
    double last = x.back(), t = times.back();
    double gap = std::fabs(last - final_value.value);
    double transient = pair.transform->transient_bound(t);
    double size = std::max(largest, std::fabs(final_value.value));
    out << "  Valor final (lim s·X(s), s→0): " << number_text(final_value.value, 10) << "; último ponto (t = "
        << number_text(t, 6) << "): " << number_text(last, 10);
    if (transient > settled_fraction * size) {
        out << "; não comparados: a resposta ainda não se acomodou (transitório restante ≤ "
            << number_text(transient, 3) << ")\n";
        return ok;
    }
    bool agrees = gap <= 1.01 * transient + 1e-9 * size;
    out << "; diferença " << number_text(gap, 3) << ", transitório restante ≤ " << number_text(transient, 3)
        << (agrees ? ": confere\n" : ": NÃO confere\n");
    return ok && agrees;
}

std::optional<std::size_t> first_non_finite(const std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!std::isfinite(values[i])) return i;
    return std::nullopt;
}

bool finite_expansion(const Expansion& e) {
    for (double c : e.impulses)
        if (!std::isfinite(c)) return false;
    for (const PoleTerms& p : e.poles) {
        if (!std::isfinite(p.sigma) || !std::isfinite(p.omega)) return false;
        if (first_non_finite(p.cos_coef) || first_non_finite(p.sin_coef)) return false;
    }
    return true;
}

// The picture's axes are cut into round steps of the time span and of the value span:
// both must be spans of doubles, and a time span too small beside the times themselves
// would give grid lines that round onto each other.
bool drawable(const TimeCurves& curves, std::ostream& err) {
    double low = 0.0, high = 0.0;
    for (const std::vector<double>& row : curves.values)
        for (double v : row) low = std::min(low, v), high = std::max(high, v);
    if (!std::isfinite(high - low) || high - low > max_drawn_span) {
        err << "quorvat-cli tempo: os valores de x(t) vão de " << number_text(low, 3) << " a " << number_text(high, 3)
            << ": amplitude acima de 1e300, grande demais para a figura\n";
        return false;
    }
    const double t0 = curves.times.front(), t1 = curves.times.back();
    if (!(t1 - t0 > min_drawn_time_fraction * t1)) {
        err << "quorvat-cli tempo: o intervalo de " << number_text(t0, 17) << " a " << number_text(t1, 17)
            << " s é curto demais diante de t para a figura (menos de 1e-9 de t)\n";
        return false;
    }
    return true;
}

}  // namespace

int time_command(const Arguments& args, std::ostream& out, std::ostream& err, TimePngWriter png) {
    TimeFlags flags;
    int parsed = parse_flags(args, flags, err);
    if (parsed == -1) {
        out << time_usage;
        return 0;
    }
    if (parsed != 0) return parsed;

    fp_clear();
    std::vector<Pair> pairs;
    for (const std::string& numerator : flags.numerators) {
        std::optional<std::string> denominator = denominator_name(numerator);
        if (!denominator)
            return usage_error(err, "nome de numerador sem \".n\" ou \".N\" no nome do arquivo: " + numerator);
        Pair pair;
        pair.numerator = numerator;
        pair.denominator = *denominator;
        std::string number = variable_number(numerator);
        pair.name = flags.name + number;
        pair.unit = flags.unit_given ? flags.unit : variable_unit(numerator, number);
        PolynomialFile n, d;
        try {
            ResultSetLock same_run(numerator);  // both halves of one run, never of two
            if (!read_file(numerator, n, err) || !read_file(*denominator, d, err)) return 1;
        } catch (const FloatingPointFault& fault) {
            err << "quorvat-cli tempo: " << to_utf8(numerator) << ": " << fault.what() << "\n";
            return 1;
        }
        std::string error;
        if (n.scale != d.scale) {
            err << "quorvat-cli tempo: " << to_utf8(numerator) << ": numerador e denominador com escalas de frequência diferentes\n";
            return 1;
        }
        pair.transform = InverseLaplace::create(n.p, d.p, n.scale, error);
        if (!pair.transform) {
            err << "quorvat-cli tempo: " << to_utf8(numerator) << ": " << error << "\n";
            return 1;
        }
        if (!finite_expansion(pair.transform->expansion())) {
            err << "quorvat-cli tempo: " << to_utf8(numerator)
                << ": os coeficientes de x(t) passam do maior número de ponto flutuante (1.8e308)\n";
            return 1;
        }
        pairs.push_back(std::move(pair));
    }

    for (const Pair& pair : pairs) describe(pair, flags, out);
    if (flags.csv.empty() && flags.png.empty() && !flags.verify) return 0;

    double tmax;
    if (flags.tmax) {
        tmax = *flags.tmax;
    } else {
        std::vector<const Expansion*> expansions;
        for (const Pair& pair : pairs) expansions.push_back(&pair.transform->expansion());
        std::string reason;
        tmax = flags.tmin + choose_span(expansions, reason);
        if (!std::isfinite(tmax)) {
            err << "quorvat-cli tempo: o intervalo escolhido pelos polos passa do maior número de ponto flutuante; "
                   "dê --tmax\n";
            return 1;
        }
        out << "Intervalo: t de " << number_text(flags.tmin, 6) << " a " << number_text(tmax, 6) << " s (" << reason
            << ")\n";
    }
    // The fraction of the interval first: (tmax - tmin) * i overflows near the double range.
    std::vector<double> times(static_cast<std::size_t>(flags.points));
    for (int i = 0; i < flags.points; ++i)
        times[static_cast<std::size_t>(i)] =
            flags.tmin + (tmax - flags.tmin) * (static_cast<double>(i) / (flags.points - 1));
    times.back() = tmax;
    for (Pair& pair : pairs) {
        pair.table = pair.transform->tabulate(times);
        if (std::optional<std::size_t> bad = first_non_finite(pair.table.values)) {
            err << "quorvat-cli tempo: " << to_utf8(pair.numerator) << ": x(" << number_text(times[*bad], 6)
                << ") passa do maior número de ponto flutuante (1.8e308); escolha um intervalo menor\n";
            return 1;
        }
    }

    int status = 0;
    if (flags.verify)
        for (const Pair& pair : pairs) {
            out << to_utf8(pair.numerator) << ":\n";
            if (!verify(pair, times, out)) status = 4;
        }
    for (const Pair& pair : pairs)
        if (pair.table.uncertain_points > 0 && !flags.verify)
            out << "Aviso: " << to_utf8(pair.numerator) << ": " << pair.table.uncertain_points
                << " ponto(s) da tabela sem garantia de 1e-12\n";

    std::vector<std::string> names, inputs;
    std::vector<std::vector<double>> columns;
    for (const Pair& pair : pairs) {
        names.push_back(pair.numerator);
        columns.push_back(pair.table.values);
        inputs.insert(inputs.end(), {pair.numerator, pair.denominator, base_name_for(pair.numerator) + ".net"});
    }
    std::vector<PendingFile> files;
    if (!flags.csv.empty()) files.push_back(bytes_file(flags.csv, time_csv_text(names, times, columns)));
    if (!flags.png.empty()) {
        TimeCurves curves{times, columns, pairs.front().unit};
        for (const Pair& pair : pairs)
            if (pair.unit != curves.unit) curves.unit.clear();
        if (!png) {
            err << "quorvat-cli tempo: figuras são feitas por " << "quorvat-cli-grafico" << "\n";
            return 1;
        }
        if (!drawable(curves, err)) return 1;
        std::string bytes;
        if (!png(flags.width, flags.height, curves, bytes, err)) return 1;
        files.push_back(bytes_file(flags.png, std::move(bytes)));
    }
    // The table and the picture both or neither, never over a file read.
    if (!files.empty() && !write_output_files("tempo", files, inputs, err)) return 1;
    return status;
}

}  // namespace quorvat::cli
