#include "numeric/export.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "certified/arb_types.h"
#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "engine/text.h"

namespace quorvat {

namespace {

// A double that reads back to the same value; JSON has no infinities or NaN.
std::string number(double v, bool json = false) {
    if (!std::isfinite(v)) return json ? "null" : (std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf"));
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// Coefficients from the highest power down to s^0, times factor.
std::vector<double> descending(const WidePolynomial& p, double factor) {
    std::vector<double> c;
    for (int i = p.degree(); i >= 0; --i) c.push_back(p.c[static_cast<std::size_t>(i)] * factor);
    return c;
}

// The coefficients in s of factor * sum c[i] (s/scale)^i * shift, from the highest power
// down, each correctly rounded from the exact value; false when one leaves the double range.
bool unscaled(const WidePolynomial& p, double factor, double scale, const arb_t shift, std::vector<double>& out) {
    constexpr slong prec = 128;
    out.clear();
    ArbNumber w, power, term;
    arb_set_d(w.get(), scale);
    for (int i = p.degree(); i >= 0; --i) {
        double c = p.c[static_cast<std::size_t>(i)];
        arb_pow_ui(power.get(), w.get(), static_cast<ulong>(i), prec);
        arb_set_d(term.get(), c);
        arb_div(term.get(), term.get(), power.get(), prec);
        arb_mul(term.get(), term.get(), shift, prec);
        double v = arf_get_d(arb_midref(term.get()), ARF_RND_NEAR) * factor;
        if (!std::isfinite(v) || (c != 0.0 && !std::isnormal(v))) return false;
        out.push_back(v);
    }
    return true;
}

struct Exported {
    std::vector<double> b, a;  // descending
    std::string note;          // header lines about the scale, without the comment mark
};

Exported exported(const ScaledPolynomial& numerator, const ScaledPolynomial& denominator, double gain) {
    Exported e{descending(numerator.p, gain), descending(denominator.p, 1.0), {}};
    if (numerator.scale == 1.0 && denominator.scale == 1.0) return e;
    char line[240];
    std::snprintf(line, sizeof line, "Arquivos em função de s/W, W = %.17g rad/s (numerador) e %.17g rad/s (denominador).",
                  numerator.scale, denominator.scale);
    e.note = line;
    // Both times W_d^degree, so that a keeps the file's leading coefficient.
    ArbNumber shift;
    arb_set_d(shift.get(), denominator.scale);
    arb_pow_ui(shift.get(), shift.get(), static_cast<ulong>(denominator.p.degree()), 128);
    Exported in_s;
    if (unscaled(numerator.p, gain, numerator.scale, shift.get(), in_s.b) &&
        unscaled(denominator.p, 1.0, denominator.scale, shift.get(), in_s.a)) {
        in_s.note = e.note + "\nEscala desfeita: os coeficientes abaixo são de H em s.";
        return in_s;
    }
    e.note += "\nEm s os coeficientes sairiam da faixa de um double: os abaixo são de H em potências de x = s/W.";
    return e;
}

std::string commented(const std::string& note, const char* mark) {
    std::string out;
    std::size_t start = 0;
    while (start < note.size()) {
        std::size_t end = note.find('\n', start);
        if (end == std::string::npos) end = note.size();
        out += std::string(mark) + " " + note.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return out;
}

std::string list(const std::vector<double>& values, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) out += (i ? separator : "") + number(values[i]);
    return out;
}

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (unsigned char ch : to_utf8(text)) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", ch);
            out += escape;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out + "\"";
}

std::string json_polynomial(const ScaledPolynomial& s, const std::string& file) {
    const WidePolynomial& p = s.p;
    std::string coefficients;
    for (std::size_t i = 0; i < p.c.size(); ++i) coefficients += (i ? ", " : "") + number(p.c[i], true);
    std::string scale = s.scale == 1.0 ? "" : ", \"escala\": " + number(s.scale, true);
    return "{\"arquivo\": " + json_string(file) + ", \"grau\": " + std::to_string(p.degree()) +
           ", \"coeficientes\": [" + coefficients + "], \"Cte\": " + number(p.Cte, true) + scale + "}";
}

}  // namespace

bool parse_export_format(const std::string& word, ExportFormat& format) {
    if (word == "python") format = ExportFormat::python;
    else if (word == "matlab") format = ExportFormat::matlab;
    else if (word == "json") format = ExportFormat::json;
    else return false;
    return true;
}

std::string export_pair(ExportFormat format, const ScaledPolynomial& numerator, const ScaledPolynomial& denominator,
                        const std::string& numerator_file, const std::string& denominator_file) {
    CLocaleScope c_numbers;
    FpFlagsGuard keep_flags;
    double gain = numerator.p.Cte / denominator.p.Cte;
    std::string names = to_utf8(numerator_file) + " e " + to_utf8(denominator_file);
    if (format != ExportFormat::json) {
        Exported e = exported(numerator, denominator, gain);
        if (format == ExportFormat::python)
            return "# Quorvat MNA: H(s) = b(s)/a(s), de " + names + "\n" + commented(e.note, "#") +
                   "# Coeficientes em potências decrescentes de s, como scipy.signal espera:\n"
                   "# from scipy import signal; sistema = signal.TransferFunction(b, a)\n"
                   "b = [" + list(e.b, ", ") + "]\n"
                   "a = [" + list(e.a, ", ") + "]\n";
        return "% Quorvat MNA: H(s) = num(s)/den(s), de " + names + "\n" + commented(e.note, "%") +
               "% Coeficientes em potências decrescentes de s: H = tf(num, den);\n"
               "num = [" + list(e.b, " ") + "];\n"
               "den = [" + list(e.a, " ") + "];\n";
    }
    return "{\"numerador\": " + json_polynomial(numerator, numerator_file) +
           ",\n \"denominador\": " + json_polynomial(denominator, denominator_file) + "}\n";
}

}  // namespace quorvat
