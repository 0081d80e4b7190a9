// The file side of the plotter, without windows: reading a polynomial file, Adicionar's
// naming of the denominator, and Plotar (the settings texts, the file list, the curves).
// Form4's buttons and quorvat-cli plotar both run these.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/log.h"
#include "engine/polynomial.h"
#include "engine/scanner.h"
#include "plot/response.h"

namespace quorvat {

/// Reads one polynomial file: white-space separated, the degree ("%d"), then degree + 1
/// coefficients in ascending powers and Cte ("%lg", fixed or exponent notation). A degree
/// above 30 logs "Polinômio com grau excessivo" and reads 31 coefficients, so the next
/// number becomes Cte. Nothing after Cte is read. Returns false, with p untouched, when
/// a field is missing or is not a number, or the degree is negative. A number beyond the
/// double range is a floating-point overflow: throws FloatingPointFault.
bool poly_read(Scanner& in, ResultPolynomial& p, LogSink& log);

/// A polynomial file of any degree and its frequency scale.
struct PolynomialFile {
    WidePolynomial p;
    double scale = 1.0;  // the file holds a function of s/scale (rad/s); 1 without a scale line
};

/// The optional line after Cte, "escala W": the file holds a function of s/W. Reads it
/// into scale when the next word is "escala"; false when that word is not followed by a
/// finite number above 0. Any other text after Cte stays unread, as the design's reader
/// leaves it.
bool read_frequency_scale(Scanner& in, double& scale);

/// A polynomial file of any degree up to max_file_degree, then its scale line. A degree
/// of 0..30 is read by poly_read, exactly as the design reads it; above 30 every
/// coefficient is read. A degree above max_file_degree logs "Polinômio de grau %d acima
/// do limite de %d" and returns false; so do the failures of poly_read.
bool poly_read_any_degree(Scanner& in, PolynomialFile& file, LogSink& log);

/// Whether a polynomial file must be evaluated from its roots: a degree above 30 or a scale.
inline bool beyond_design(const PolynomialFile& file) { return file.p.degree() > max_order || file.scale != 1.0; }

/// The denominator file of a numerator file: the first ".n" of the file-name part, else
/// its first ".N", with the letter made a lower-case "d" (filtro.N2 gives filtro.d2).
/// Folders are never renamed. No such pair: nullopt.
std::optional<std::string> denominator_name(const std::string& numerator);

/// The lines Adicionar appends for a chosen file: the numerator and its denominator, or
/// the comment "* Arquivo com nome inválido.".
std::vector<std::string> adicionar_lines(const std::string& chosen);

/// Whether a curve can be computed at some frequency: false for a denominator that is
/// identically zero (every coefficient or its Cte) or a gain factor Cte_n / Cte_d that is
/// not a finite number. Plotar logs "Curva %d (%s) não pode ser calculada em nenhum ponto"
/// for such a pair and goes on.
bool curve_computable(const ResultPolynomial& numerator, const ResultPolynomial& denominator);

/// curve_computable for curve j of the table, wide or not.
bool curve_computable(const CurveTable& curves, int j);

/// The texts of Form4's edit boxes, with their defaults.
struct PlotTexts {
    std::string wmin = "0.1";
    std::string wmax = "5";
    std::string gmin = "-60";
    std::string gmax = "20";
    std::string fmin = "-180";
    std::string fmax = "180";
    std::string amin = "-10";
    std::string amax = "40";
    std::string segments = "300";
};

/// Plotar: clears plot_ready, converts the texts into the settings (a segment count
/// outside 1..600 logs "Número inválido de segmentos" and gives 300), then reads the
/// files of the list in pairs into the curve table, logging each, and finally logs
/// "Lidas %d funções". Files of any degree are read (poly_read_any_degree); a pair with a
/// file beyond the design's becomes a wide curve (response.h). Lines whose first character
/// is "*" are comments; every other line, untrimmed, names a file. Ends early, with plot_ready 0, when a file cannot be opened,
/// a 21st numerator comes or a file is invalid (each with its message). On success sets
/// recompute_needed and plot_ready and returns true.
bool plotar(PlotterState& state, const std::vector<std::string>& lines, const PlotTexts& texts, LogSink& log);

}  // namespace quorvat
