#include "symbolic/element_stamps.h"

#include <algorithm>
#include <cmath>

#include <Eigen/Dense>
#include <flint/fmpq_mat.h>

namespace quorvat::symbolic::stamps {

Real to_real(const fmpz_t z) {
    slong exponent = 0;
    const double mantissa = fmpz_get_d_2exp(&exponent, z);
    return std::ldexp(static_cast<Real>(mantissa), static_cast<int>(exponent));
}

namespace {

// The stamps of one symbol and power as u v^T; false when they are not of rank one.
bool factor(const std::map<Entry, exact::Rational>& entries, Piece& piece) {
    const auto& [first, pivot] = *entries.begin();
    exact::Rational ratio;
    for (const auto& [at, c] : entries) {
        if (at.second == first.second) piece.u.emplace_back(at.first, c);
        if (at.first == first.first) {
            fmpq_div(ratio.get(), c.get(), pivot.get());
            piece.v.emplace_back(at.second, ratio);
        }
    }
    if (piece.u.size() * piece.v.size() != entries.size()) return false;
    exact::Rational product;
    for (const auto& [r, ur] : piece.u)
        for (const auto& [c, vc] : piece.v) {
            auto found = entries.find({r, c});
            fmpq_mul(product.get(), ur.get(), vc.get());
            if (found == entries.end() || !fmpq_equal(found->second.get(), product.get())) return false;
        }
    return true;
}

}  // namespace

Real to_real(const fmpq* q) { return to_real(fmpq_numref(q)) / to_real(fmpq_denref(q)); }

bool build_target(const SymbolicSystem& system, int column, const std::vector<exact::Rational>& values, Target& out) {
    out.n = system.n;
    std::map<std::pair<int, int>, std::map<Entry, exact::Rational>> stamps;  // (symbol, power) -> entries
    fmpz_t c;
    fmpz_init(c);
    bool ok = true;
    for (int r = 0; r < system.n && ok; ++r)
        for (int col = 0; col < system.n && ok; ++col) {
            const Mpoly& e = col == column ? system.b[static_cast<std::size_t>(r)] : system.at(r, col);
            std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(e.ctx())));
            for (slong t = 0; t < e.length() && ok; ++t) {
                fmpz_mpoly_get_term_exp_ui(exponents.data(), e.get(), t, e.ctx());
                fmpz_mpoly_get_term_coeff_fmpz(c, e.get(), t, e.ctx());
                int symbol = -1, count = 0;
                for (std::size_t v = 1; v < exponents.size(); ++v)
                    if (exponents[v] != 0) {
                        symbol = static_cast<int>(v) - 1;
                        count += static_cast<int>(exponents[v]);
                    }
                exact::Rational value;
                fmpz_set(fmpq_numref(value.get()), c);
                fmpz_one(fmpq_denref(value.get()));
                if (count == 0 && exponents[0] == 0) {
                    fmpq_add(out.numbers[{r, col}].get(), out.numbers[{r, col}].get(), value.get());
                } else if (count == 1 && exponents[0] <= 1) {
                    exact::Rational& slot = stamps[{symbol, static_cast<int>(exponents[0])}][{r, col}];
                    fmpq_add(slot.get(), slot.get(), value.get());
                } else {
                    ok = false;  // a number in s, or a product of symbols
                }
            }
        }
    fmpz_clear(c);
    if (!ok) return false;
    for (auto& [key, entries] : stamps) {
        for (auto it = entries.begin(); it != entries.end();) it = fmpq_is_zero(it->second.get()) ? entries.erase(it) : std::next(it);
        if (entries.empty()) continue;
        Piece piece;
        piece.symbol = key.first;
        piece.power = key.second;
        piece.value = to_real(values[static_cast<std::size_t>(key.first)].get());
        if (!factor(entries, piece)) return false;
        for (const auto& [r, ur] : piece.u) piece.u_real.push_back(to_real(ur.get()));
        for (const auto& [col, vc] : piece.v) piece.v_real.push_back(to_real(vc.get()));
        out.pieces.push_back(std::move(piece));
    }
    for (const auto& [at, number] : out.numbers) out.number_values.emplace_back(at, static_cast<double>(to_real(number.get())));
    return true;
}

long affordable_branches(int n, long cap) {
    const double side = 2.0 * std::max(1, n);
    return static_cast<long>(std::min(static_cast<double>(cap), 2e10 / (side * side * side)));
}

Real Evaluator::value(const std::vector<int>& forced, const std::vector<int>& undecided) const {
    const int n = target_.n;
    const int m = n + static_cast<int>(forced.size());
    Eigen::MatrixXd b = Eigen::MatrixXd::Zero(m, m);
    for (const auto& [at, c] : target_.number_values) b(at.first, at.second) += c;
    for (int k : undecided) {
        const Piece& p = target_.pieces[static_cast<std::size_t>(k)];
        for (std::size_t i = 0; i < p.u.size(); ++i)
            for (std::size_t j = 0; j < p.v.size(); ++j)
                b(p.u[i].first, p.v[j].first) += static_cast<double>(p.value * p.u_real[i] * p.v_real[j]);
    }
    Real scale = 1;
    for (std::size_t i = 0; i < forced.size(); ++i) {
        const Piece& p = target_.pieces[static_cast<std::size_t>(forced[i])];
        const int border = n + static_cast<int>(i);
        for (std::size_t j = 0; j < p.u.size(); ++j) b(p.u[j].first, border) = static_cast<double>(p.u_real[j]);
        for (std::size_t j = 0; j < p.v.size(); ++j) b(border, p.v[j].first) = -static_cast<double>(p.v_real[j]);
        scale *= p.value;
    }
    // Rows and columns brought to unit size, so that the pivots' product stays in range.
    for (int i = 0; i < m; ++i) {
        const double size = b.row(i).cwiseAbs().maxCoeff();
        if (size == 0) return 0;
        b.row(i) /= size;
        scale *= size;
    }
    for (int j = 0; j < m; ++j) {
        const double size = b.col(j).cwiseAbs().maxCoeff();
        if (size == 0) return 0;
        b.col(j) /= size;
        scale *= size;
    }
    Eigen::PartialPivLU<Eigen::MatrixXd> lu(b);
    Real det = lu.permutationP().determinant();
    for (int i = 0; i < m; ++i) det *= lu.matrixLU()(i, i);
    return det * scale;
}

bool Evaluator::coefficient(const std::vector<int>& forced, fmpq* out) const {
    const int n = target_.n;
    const int m = n + static_cast<int>(forced.size());
    fmpq_mat_t b;
    fmpq_mat_init(b, m, m);
    for (const auto& [at, c] : target_.numbers) fmpq_set(fmpq_mat_entry(b, at.first, at.second), c.get());
    for (std::size_t i = 0; i < forced.size(); ++i) {
        const Piece& p = target_.pieces[static_cast<std::size_t>(forced[i])];
        const slong border = n + static_cast<slong>(i);
        for (const auto& [r, ur] : p.u) fmpq_set(fmpq_mat_entry(b, r, border), ur.get());
        for (const auto& [col, vc] : p.v) fmpq_neg(fmpq_mat_entry(b, border, col), vc.get());
    }
    fmpq_mat_det(out, b);
    fmpq_mat_clear(b);
    return fmpz_is_one(fmpq_denref(out));
}


}  // namespace quorvat::symbolic::stamps
