// Small owners of FLINT's and arb's C types, so that every early return frees them.
#pragma once

#include <cstddef>
#include <vector>

#include <acb.h>
#include <acb_poly.h>
#include <arb.h>
#include <flint/fmpz_poly.h>

namespace quorvat {

class ArbNumber {
public:
    ArbNumber() { arb_init(value_); }
    ArbNumber(const ArbNumber& other) {
        arb_init(value_);
        arb_set(value_, other.value_);
    }
    ArbNumber& operator=(const ArbNumber& other) {
        arb_set(value_, other.value_);
        return *this;
    }
    ~ArbNumber() { arb_clear(value_); }
    arb_ptr get() { return value_; }
    arb_srcptr get() const { return value_; }

private:
    arb_t value_;
};

class AcbNumber {
public:
    AcbNumber() { acb_init(value_); }
    AcbNumber(const AcbNumber& other) {
        acb_init(value_);
        acb_set(value_, other.value_);
    }
    AcbNumber& operator=(const AcbNumber& other) {
        acb_set(value_, other.value_);
        return *this;
    }
    ~AcbNumber() { acb_clear(value_); }
    acb_ptr get() { return value_; }
    acb_srcptr get() const { return value_; }

private:
    acb_t value_;
};

class AcbPoly {
public:
    AcbPoly() { acb_poly_init(value_); }
    AcbPoly(const AcbPoly& other) {
        acb_poly_init(value_);
        acb_poly_set(value_, other.value_);
    }
    AcbPoly& operator=(const AcbPoly& other) {
        acb_poly_set(value_, other.value_);
        return *this;
    }
    ~AcbPoly() { acb_poly_clear(value_); }
    acb_poly_struct* get() { return value_; }
    const acb_poly_struct* get() const { return value_; }

private:
    acb_poly_t value_;
};

class FmpzPoly {
public:
    FmpzPoly() { fmpz_poly_init(value_); }
    FmpzPoly(const FmpzPoly& other) {
        fmpz_poly_init(value_);
        fmpz_poly_set(value_, other.value_);
    }
    FmpzPoly& operator=(const FmpzPoly& other) {
        fmpz_poly_set(value_, other.value_);
        return *this;
    }
    ~FmpzPoly() { fmpz_poly_clear(value_); }
    fmpz_poly_struct* get() { return value_; }
    const fmpz_poly_struct* get() const { return value_; }

private:
    fmpz_poly_t value_;
};

}  // namespace quorvat
