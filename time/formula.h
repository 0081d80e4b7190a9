// The closed form of an expansion as text: Portuguese plain text or LaTeX.
#pragma once

#include <string>

#include "time/inverse_laplace.h"

namespace quorvat {

/// "x1(t) = 0.5 - 0.5·e^(-2·t), para t ≥ 0": the terms of the poles by decreasing σ, then
/// the impulses δ(t), δ'(t)… Coefficients at 10 significant digits; a coefficient below
/// 1e-12 of the largest is left out and sets *omitted.
std::string formula_text(const Expansion& expansion, const std::string& name, bool* omitted = nullptr);

/// The same in LaTeX: "x_{1}(t) = 0.5 - 0.5\,e^{-2t}, \quad t \ge 0".
std::string formula_latex(const Expansion& expansion, const std::string& name, bool* omitted = nullptr);

}  // namespace quorvat
