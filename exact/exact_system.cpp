#include "exact/exact_system.h"

#include <cmath>

#include "engine/fp_fault.h"

namespace quorvat::exact {

void set_from_double(fmpq* q, double value) {
    // value = mantissa * 2^exponent with an integral mantissa of at most 53 bits.
    int exponent = 0;
    double fraction = std::frexp(value, &exponent);
    fmpz_t mantissa;
    fmpz_init(mantissa);
    fmpz_set_d(mantissa, std::ldexp(fraction, 53));
    exponent -= 53;
    if (exponent >= 0) {
        fmpz_mul_2exp(fmpq_numref(q), mantissa, exponent);
        fmpz_one(fmpq_denref(q));
    } else {
        fmpz_set(fmpq_numref(q), mantissa);
        fmpz_one(fmpq_denref(q));
        fmpz_mul_2exp(fmpq_denref(q), fmpq_denref(q), -exponent);
        fmpq_canonicalise(q);
    }
    fmpz_clear(mantissa);
}

RationalPencil::RationalPencil(int n) : n_(n), entries_(static_cast<std::size_t>(n) * (n + 1) * 2) {}

fmpq* RationalPencil::at(int row, int column, int power) {
    return entries_[((static_cast<std::size_t>(row) - 1) * (n_ + 1) + (column - 1)) * 2 + power].get();
}

const fmpq* RationalPencil::at(int row, int column, int power) const {
    return entries_[((static_cast<std::size_t>(row) - 1) * (n_ + 1) + (column - 1)) * 2 + power].get();
}

void RationalPencil::add(int row, int column, int power, int sign, const StampTerm& term) {
    if (row == 0 || column == 0) return;
    fmpq_t value, other;
    fmpq_init(value);
    fmpq_init(other);
    set_from_double(value, term.v);
    if (term.kind == StampTerm::reciprocal) {
        if (fmpq_is_zero(value)) {
            // A resistor of 0 ohms: the division by zero of the floating-point stamp.
            fmpq_clear(value);
            fmpq_clear(other);
            throw_fp_fault(FE_DIVBYZERO);
        }
        fmpq_inv(value, value);
    } else if (term.kind == StampTerm::product) {
        set_from_double(other, term.w);
        fmpq_mul(value, value, other);
    }
    fmpq* entry = at(row, column, power);
    if (sign > 0)
        fmpq_add(entry, entry, value);
    else
        fmpq_sub(entry, entry, value);
    fmpq_clear(value);
    fmpq_clear(other);
}

void RationalPencil::to_integers(fmpz_poly_mat_t a, fmpz_poly_mat_t b) const {
    fmpz_t scale, content, coefficient;
    fmpz_init(scale);
    fmpz_init(content);
    fmpz_init(coefficient);
    for (int r = 1; r <= n_; ++r) {
        fmpz_one(scale);
        for (int c = 1; c <= n_ + 1; ++c)
            for (int p = 0; p <= 1; ++p) fmpz_lcm(scale, scale, fmpq_denref(at(r, c, p)));
        fmpz_zero(content);
        for (int c = 1; c <= n_ + 1; ++c) {
            fmpz_poly_struct* entry = c <= n_ ? fmpz_poly_mat_entry(a, r - 1, c - 1) : fmpz_poly_mat_entry(b, r - 1, 0);
            fmpz_poly_zero(entry);
            for (int p = 0; p <= 1; ++p) {
                const fmpq* q = at(r, c, p);
                fmpz_divexact(coefficient, scale, fmpq_denref(q));
                fmpz_mul(coefficient, coefficient, fmpq_numref(q));
                fmpz_poly_set_coeff_fmpz(entry, p, coefficient);
                fmpz_gcd(content, content, coefficient);
            }
        }
        if (fmpz_is_zero(content) || fmpz_is_one(content)) continue;
        for (int c = 1; c <= n_ + 1; ++c) {
            fmpz_poly_struct* entry = c <= n_ ? fmpz_poly_mat_entry(a, r - 1, c - 1) : fmpz_poly_mat_entry(b, r - 1, 0);
            fmpz_poly_scalar_divexact_fmpz(entry, entry, content);
        }
    }
    fmpz_clear(scale);
    fmpz_clear(content);
    fmpz_clear(coefficient);
}

RationalPencil assemble_exact(const EngineTables& tables) {
    RationalPencil pencil(tables.variable_count);
    for (int j = 1; j <= tables.element_count; ++j) stamp_element(pencil, tables, tables.elements[j]);
    return pencil;
}

}  // namespace quorvat::exact
