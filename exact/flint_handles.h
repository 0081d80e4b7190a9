// Owning handles for the FLINT values the exact solver keeps in containers.
#pragma once

#include <flint/fmpq.h>
#include <flint/fmpz.h>
#include <flint/fmpz_poly.h>

namespace quorvat::exact {

/// A polynomial with integer coefficients.
class IntPoly {
public:
    IntPoly() { fmpz_poly_init(p_); }
    IntPoly(const IntPoly& other) {
        fmpz_poly_init(p_);
        fmpz_poly_set(p_, other.p_);
    }
    IntPoly(IntPoly&& other) noexcept {
        fmpz_poly_init(p_);
        fmpz_poly_swap(p_, other.p_);
    }
    IntPoly& operator=(IntPoly other) noexcept {
        fmpz_poly_swap(p_, other.p_);
        return *this;
    }
    ~IntPoly() { fmpz_poly_clear(p_); }

    fmpz_poly_struct* get() { return p_; }
    const fmpz_poly_struct* get() const { return p_; }
    /// Highest power with a non-zero coefficient; -1 for the zero polynomial.
    long degree() const { return fmpz_poly_degree(p_); }
    bool is_zero() const { return fmpz_poly_is_zero(p_); }

private:
    fmpz_poly_t p_;
};

/// A rational number.
class Rational {
public:
    Rational() { fmpq_init(q_); }
    Rational(const Rational& other) {
        fmpq_init(q_);
        fmpq_set(q_, other.q_);
    }
    Rational& operator=(const Rational& other) {
        fmpq_set(q_, other.q_);
        return *this;
    }
    ~Rational() { fmpq_clear(q_); }

    fmpq* get() { return q_; }
    const fmpq* get() const { return q_; }

private:
    fmpq_t q_;
};

/// The exact value of a finite double: a binary fraction.
void set_from_double(fmpq* q, double value);

}  // namespace quorvat::exact
