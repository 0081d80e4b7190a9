#include "exact/multimodular.h"

#include <flint/nmod_mat.h>
#include <flint/nmod_poly.h>
#include <flint/ulong_extras.h>

namespace quorvat::exact {

namespace {

// A(s) and b(s) reduced modulo one prime: the constant and the s coefficients.
struct ReducedSystem {
    slong n;
    slong degree;  // bound on the degrees of det A and of the numerators
    nmod_t mod;
    std::vector<mp_limb_t> a0, a1, b0, b1;  // row-major

    ReducedSystem(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, mp_limb_t prime, slong degree_bound)
        : n(fmpz_poly_mat_nrows(a)), degree(degree_bound) {
        nmod_init(&mod, prime);
        auto coefficient = [&](const fmpz_poly_struct* p, slong i) {
            return i < p->length ? fmpz_fdiv_ui(p->coeffs + i, prime) : mp_limb_t(0);
        };
        for (slong r = 0; r < n; ++r) {
            for (slong c = 0; c < n; ++c) {
                a0.push_back(coefficient(fmpz_poly_mat_entry(a, r, c), 0));
                a1.push_back(coefficient(fmpz_poly_mat_entry(a, r, c), 1));
            }
            b0.push_back(coefficient(fmpz_poly_mat_entry(b, r, 0), 0));
            b1.push_back(coefficient(fmpz_poly_mat_entry(b, r, 0), 1));
        }
    }

    mp_limb_t at(mp_limb_t c0, mp_limb_t c1, mp_limb_t x) const { return nmod_add(c0, nmod_mul(c1, x, mod), mod); }
};

// det A and the Cramer numerators det A * x_k modulo one prime, as polynomials. False
// when det A vanishes identically modulo the prime.
bool solve_modulo(const ReducedSystem& system, nmod_poly_t den, std::vector<nmod_poly_struct>& numerators) {
    const slong n = system.n;
    const mp_limb_t p = system.mod.n;
    nmod_mat_t a, b, x;
    nmod_mat_init(a, n, n, p);
    nmod_mat_init(b, n, 1, p);
    nmod_mat_init(x, n, 1, p);
    std::vector<mp_limb_t> points, dets;
    std::vector<std::vector<mp_limb_t>> values(n);
    slong unlucky = 0;
    // degree + 1 points where det A does not vanish. More than degree points where it
    // vanishes mean it vanishes identically.
    const slong degree = system.degree;
    for (mp_limb_t point = 0; static_cast<slong>(points.size()) <= degree && unlucky <= degree; ++point) {
        for (slong r = 0; r < n; ++r) {
            for (slong c = 0; c < n; ++c)
                nmod_mat_entry(a, r, c) = system.at(system.a0[r * n + c], system.a1[r * n + c], point);
            nmod_mat_entry(b, r, 0) = system.at(system.b0[r], system.b1[r], point);
        }
        mp_limb_t det = nmod_mat_det(a);
        if (det == 0) {
            ++unlucky;
            continue;
        }
        nmod_mat_solve(x, a, b);
        points.push_back(point);
        dets.push_back(det);
        for (slong k = 0; k < n; ++k) values[k].push_back(nmod_mul(det, nmod_mat_entry(x, k, 0), system.mod));
    }
    nmod_mat_clear(a);
    nmod_mat_clear(b);
    nmod_mat_clear(x);
    if (static_cast<slong>(points.size()) <= degree) return false;
    nmod_poly_interpolate_nmod_vec(den, points.data(), dets.data(), degree + 1);
    for (slong k = 0; k < n; ++k)
        nmod_poly_interpolate_nmod_vec(&numerators[k], points.data(), values[k].data(), degree + 1);
    return true;
}

// Whether A * numerators = den * b holds exactly.
bool satisfies(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, const IntPoly& den,
               const std::vector<IntPoly>& numerators) {
    const slong n = fmpz_poly_mat_nrows(a);
    IntPoly sum, term;
    for (slong r = 0; r < n; ++r) {
        fmpz_poly_mul(sum.get(), den.get(), fmpz_poly_mat_entry(b, r, 0));
        for (slong c = 0; c < n; ++c) {
            fmpz_poly_mul(term.get(), fmpz_poly_mat_entry(a, r, c), numerators[c].get());
            fmpz_poly_sub(sum.get(), sum.get(), term.get());
        }
        if (!fmpz_poly_is_zero(sum.get())) return false;
    }
    return true;
}

// Every term of det A, or of a Cramer numerator, takes one entry from each row of
// [A | b]: its degree is at most the number of rows that hold an s term.
slong degree_bound(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b) {
    const slong n = fmpz_poly_mat_nrows(a);
    slong rows = 0;
    for (slong r = 0; r < n; ++r) {
        bool has_s = fmpz_poly_degree(fmpz_poly_mat_entry(b, r, 0)) >= 1;
        for (slong c = 0; c < n && !has_s; ++c) has_s = fmpz_poly_degree(fmpz_poly_mat_entry(a, r, c)) >= 1;
        rows += has_s;
    }
    return rows;
}

}  // namespace

long cramer_bound_bits(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b) {
    const slong n = fmpz_poly_mat_nrows(a);
    fmpz_t product, row, magnitude;
    fmpz_init_set_ui(product, 1);
    fmpz_init(row);
    fmpz_init(magnitude);
    for (slong r = 0; r < n; ++r) {
        fmpz_zero(row);
        for (slong c = 0; c <= n; ++c) {
            const fmpz_poly_struct* p = c < n ? fmpz_poly_mat_entry(a, r, c) : fmpz_poly_mat_entry(b, r, 0);
            for (slong i = 0; i < p->length; ++i) {
                fmpz_abs(magnitude, p->coeffs + i);
                fmpz_add(row, row, magnitude);
            }
        }
        if (!fmpz_is_zero(row)) fmpz_mul(product, product, row);
    }
    long bits = static_cast<long>(fmpz_bits(product));
    fmpz_clear(product);
    fmpz_clear(row);
    fmpz_clear(magnitude);
    return bits;
}

bool solve_multimodular(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, IntPoly& den,
                        std::vector<IntPoly>& numerators) {
    const slong n = fmpz_poly_mat_nrows(a);
    const long needed_bits = cramer_bound_bits(a, b) + 2;  // symmetric residues: twice the bound
    const slong degree = degree_bound(a, b);
    numerators.assign(n, IntPoly());
    fmpz_poly_zero(den.get());
    fmpz_t modulus, excluded;
    fmpz_init_set_ui(modulus, 1);
    fmpz_init_set_ui(excluded, 1);  // product of the primes modulo which det A vanished
    nmod_poly_t den_p;
    std::vector<nmod_poly_struct> numerators_p(n);
    mp_limb_t prime = UWORD(1) << 62;
    bool regular = false, done = false;
    IntPoly previous;
    while (!done) {
        prime = n_nextprime(prime, 1);
        nmod_poly_init(den_p, prime);
        for (auto& p : numerators_p) nmod_poly_init(&p, prime);
        ReducedSystem system(a, b, prime, degree);
        if (solve_modulo(system, den_p, numerators_p)) {
            regular = true;
            fmpz_poly_set(previous.get(), den.get());
            bool changed = false;
            fmpz_poly_CRT_ui(den.get(), den.get(), modulus, den_p, 1);
            changed = !fmpz_poly_equal(previous.get(), den.get());
            for (slong k = 0; k < n; ++k) {
                fmpz_poly_set(previous.get(), numerators[k].get());
                fmpz_poly_CRT_ui(numerators[k].get(), numerators[k].get(), modulus, &numerators_p[k], 1);
                changed = changed || !fmpz_poly_equal(previous.get(), numerators[k].get());
            }
            fmpz_mul_ui(modulus, modulus, prime);
            // Past the bound the residues are the integers; before it, a result that one
            // more prime left unchanged is accepted once it satisfies the system.
            done = static_cast<long>(fmpz_bits(modulus)) > needed_bits || (!changed && satisfies(a, b, den, numerators));
        } else {
            // A regular system's det has content below the bound: it cannot vanish
            // modulo primes whose product exceeds it.
            fmpz_mul_ui(excluded, excluded, prime);
            done = !regular && static_cast<long>(fmpz_bits(excluded)) > needed_bits;
        }
        nmod_poly_clear(den_p);
        for (auto& p : numerators_p) nmod_poly_clear(&p);
    }
    fmpz_clear(modulus);
    fmpz_clear(excluded);
    return regular;
}

}  // namespace quorvat::exact
