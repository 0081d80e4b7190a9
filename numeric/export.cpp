#include "numeric/export.h"

#include <cmath>
#include <cstdio>
#include <vector>

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
std::vector<double> descending(const ResultPolynomial& p, double factor) {
    std::vector<double> c;
    for (int i = std::min(p.degree, max_order); i >= 0; --i) c.push_back(p.c[i] * factor);
    if (c.empty()) c.push_back(0.0);
    return c;
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

std::string json_polynomial(const ResultPolynomial& p, const std::string& file) {
    std::string coefficients;
    for (int i = 0; i <= std::min(p.degree, max_order); ++i)
        coefficients += (i ? ", " : "") + number(p.c[i], true);
    return "{\"arquivo\": " + json_string(file) + ", \"grau\": " + std::to_string(p.degree) +
           ", \"coeficientes\": [" + coefficients + "], \"Cte\": " + number(p.Cte, true) + "}";
}

}  // namespace

bool parse_export_format(const std::string& word, ExportFormat& format) {
    if (word == "python") format = ExportFormat::python;
    else if (word == "matlab") format = ExportFormat::matlab;
    else if (word == "json") format = ExportFormat::json;
    else return false;
    return true;
}

std::string export_pair(ExportFormat format, const ResultPolynomial& numerator, const ResultPolynomial& denominator,
                        const std::string& numerator_file, const std::string& denominator_file) {
    CLocaleScope c_numbers;
    FpFlagsGuard keep_flags;
    double gain = numerator.Cte / denominator.Cte;
    std::string names = to_utf8(numerator_file) + " e " + to_utf8(denominator_file);
    switch (format) {
        case ExportFormat::python:
            return "# Quorvat MNA: H(s) = b(s)/a(s), de " + names + "\n"
                   "# Coeficientes em potências decrescentes de s, como scipy.signal espera:\n"
                   "# from scipy import signal; sistema = signal.TransferFunction(b, a)\n"
                   "b = [" + list(descending(numerator, gain), ", ") + "]\n"
                   "a = [" + list(descending(denominator, 1.0), ", ") + "]\n";
        case ExportFormat::matlab:
            return "% Quorvat MNA: H(s) = num(s)/den(s), de " + names + "\n"
                   "% Coeficientes em potências decrescentes de s: H = tf(num, den);\n"
                   "num = [" + list(descending(numerator, gain), " ") + "];\n"
                   "den = [" + list(descending(denominator, 1.0), " ") + "];\n";
        case ExportFormat::json:
            return "{\"numerador\": " + json_polynomial(numerator, numerator_file) +
                   ",\n \"denominador\": " + json_polynomial(denominator, denominator_file) + "}\n";
    }
    return {};
}

}  // namespace quorvat
