#include "plot/plot_files.h"

#include <cfenv>
#include <algorithm>
#include <cmath>

#include "engine/file_read.h"
#include "engine/fp_fault.h"

namespace quorvat {

namespace {

bool read_real(Scanner& in, double& value) {
    if (!in.read_number(value)) return false;
    if (std::isinf(value)) throw_fp_fault(FE_OVERFLOW);
    return true;
}

}  // namespace

bool poly_read(Scanner& in, ResultPolynomial& p, LogSink& log) {
    ResultPolynomial read = p;
    if (!in.read_integer(read.degree) || read.degree < 0) return false;
    if (read.degree > max_order) {
        log_message(log, "Polinômio com grau excessivo");
        read.degree = max_order;
    }
    for (int i = 0; i <= read.degree; ++i)
        if (!read_real(in, read.c[i])) return false;
    if (!read_real(in, read.Cte)) return false;
    p = read;
    return true;
}

bool read_frequency_scale(Scanner& in, double& scale) {
    scale = 1.0;
    std::size_t start = in.position();
    std::string word;
    if (!in.read_word(word) || word != "escala") {
        in.set_position(start);
        return true;
    }
    double value = 0.0;
    if (!in.read_number(value) || !std::isfinite(value) || !(value > 0.0)) return false;
    scale = value;
    return true;
}

bool poly_read_any_degree(Scanner& in, PolynomialFile& file, LogSink& log) {
    std::size_t start = in.position();
    int32_t degree = 0;
    if (!in.read_integer(degree) || degree < 0) return false;
    PolynomialFile read;
    if (degree <= max_order) {
        in.set_position(start);
        ResultPolynomial p{};
        if (!poly_read(in, p, log)) return false;
        read.p = widen(p);
    } else {
        if (degree > max_file_degree) {
            log_message(log, "Polinômio de grau %d acima do limite de %d", degree, max_file_degree);
            return false;
        }
        read.p.c.assign(static_cast<std::size_t>(degree) + 1, 0.0);
        for (double& c : read.p.c)
            if (!read_real(in, c)) return false;
        if (!read_real(in, read.p.Cte)) return false;
    }
    if (!read_frequency_scale(in, read.scale)) return false;
    file = std::move(read);
    return true;
}

std::optional<std::string> denominator_name(const std::string& numerator) {
    std::size_t name_start = numerator.rfind('/');
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    std::size_t dot = numerator.find(".n", name_start);
    if (dot == std::string::npos) dot = numerator.find(".N", name_start);
    if (dot == std::string::npos) return std::nullopt;
    std::string denominator = numerator;
    denominator[dot + 1] = 'd';
    return denominator;
}

std::vector<std::string> adicionar_lines(const std::string& chosen) {
    if (std::optional<std::string> denominator = denominator_name(chosen)) return {chosen, *denominator};
    return {"* Arquivo com nome inválido."};
}

bool curve_computable(const ResultPolynomial& numerator, const ResultPolynomial& denominator) {
    FpFlagsGuard keep_flags;
    bool denominator_zero = true;
    for (int i = 0; i <= std::min(denominator.degree, max_order); ++i) denominator_zero = denominator_zero && denominator.c[i] == 0.0;
    return !denominator_zero && denominator.Cte != 0.0 && std::isfinite(numerator.Cte / denominator.Cte);
}

bool curve_computable(const CurveTable& curves, int j) {
    const WideCurve& w = curves.wide[j];
    if (w.used) {
        FpFlagsGuard keep_flags;
        bool denominator_zero = std::all_of(w.den.c.begin(), w.den.c.end(), [](double c) { return c == 0.0; });
        return !denominator_zero && w.den.Cte != 0.0 && std::isfinite(w.num.Cte / w.den.Cte);
    }
    return curve_computable(curves.curve_num[j], curves.curve_den[j]);
}

bool plotar(PlotterState& state, const std::vector<std::string>& lines, const PlotTexts& texts, LogSink& log) {
    state.plot_ready = 0;
    PlotSettings& s = state.settings;
    s.wmin = lenient_to_double(texts.wmin);
    s.wmax = lenient_to_double(texts.wmax);
    s.gmin = lenient_to_double(texts.gmin);
    s.gmax = lenient_to_double(texts.gmax);
    s.fmin = lenient_to_double(texts.fmin);
    s.fmax = lenient_to_double(texts.fmax);
    s.amin = lenient_to_double(texts.amin);
    s.amax = lenient_to_double(texts.amax);
    s.segments = lenient_to_int(texts.segments);
    if (s.segments < 1 || s.segments > max_segments) {
        log_message(log, "Número inválido de segmentos");
        s.segments = 300;
    }

    CurveTable& curves = state.curves;
    curves.curve_count = 0;
    curves.awaiting_denominator = 0;
    std::string numerator_line;
    PolynomialFile numerator_file;
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '*') continue;
        std::string text;
        FileRead read = read_text_file(log, line, max_wide_polynomial_file_bytes, text);
        if (read != FileRead::ok) {
            if (read == FileRead::missing) log_message(log, "Arquivo %s não encontrado.", line.c_str());
            return false;
        }
        log_message(log, "Lendo arquivo %s", line.c_str());
        ResultPolynomial* slot;
        if (curves.awaiting_denominator) {
            slot = &curves.curve_den[curves.curve_count];
            curves.awaiting_denominator = 0;
        } else {
            // The count stays within the table: the 21st numerator is refused, not counted.
            if (curves.curve_count + 1 > max_curves) {
                log_message(log, "Número excessivo de curvas");
                return false;
            }
            slot = &curves.curve_num[++curves.curve_count];
            curves.awaiting_denominator = 1;
        }
        Scanner in(text);
        PolynomialFile file;
        if (!poly_read_any_degree(in, file, log)) {
            log_message(log, "Arquivo %s inválido.", line.c_str());
            return false;
        }
        if (!beyond_design(file)) narrow(file.p, *slot);
        if (!curves.awaiting_denominator) {
            int j = curves.curve_count;
            WideCurve& wide = curves.wide[j];
            wide = WideCurve{};
            if (beyond_design(numerator_file) || beyond_design(file))
                wide = {true, std::move(numerator_file.p), std::move(file.p), numerator_file.scale, file.scale};
            if (!curve_computable(curves, j))
                log_message(log, "Curva %d (%s / %s) não pode ser calculada em nenhum ponto", j,
                            numerator_line.c_str(), line.c_str());
        } else {
            numerator_line = line;
            numerator_file = std::move(file);
        }
    }
    log_message(log, "Lidas %d funções", curves.curve_count);
    state.recompute_needed = 1;
    state.plot_ready = 1;
    return true;
}

}  // namespace quorvat
