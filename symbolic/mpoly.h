// Owning handles for FLINT's sparse multivariate integer polynomials. Variable 0 is s,
// variable i (1..) is symbol i - 1; lexicographic order, so the terms of a polynomial
// run from the highest power of s down.
#pragma once

#include <utility>

#include <flint/fmpz_mpoly.h>

namespace quorvat::symbolic {

class MpolyContext {
public:
    explicit MpolyContext(slong variables) { fmpz_mpoly_ctx_init(ctx_, variables, ORD_LEX); }
    ~MpolyContext() { fmpz_mpoly_ctx_clear(ctx_); }
    MpolyContext(const MpolyContext&) = delete;
    MpolyContext& operator=(const MpolyContext&) = delete;

    const fmpz_mpoly_ctx_struct* get() const { return ctx_; }
    slong variables() const { return fmpz_mpoly_ctx_nvars(ctx_); }

private:
    fmpz_mpoly_ctx_t ctx_;
};

class Mpoly {
public:
    explicit Mpoly(const MpolyContext& ctx) : ctx_(ctx.get()) { fmpz_mpoly_init(p_, ctx_); }
    Mpoly(const Mpoly& other) : ctx_(other.ctx_) {
        fmpz_mpoly_init(p_, ctx_);
        fmpz_mpoly_set(p_, other.p_, ctx_);
    }
    Mpoly(Mpoly&& other) noexcept : ctx_(other.ctx_) {
        fmpz_mpoly_init(p_, ctx_);
        fmpz_mpoly_swap(p_, other.p_, ctx_);
    }
    Mpoly& operator=(Mpoly other) noexcept {
        std::swap(ctx_, other.ctx_);
        fmpz_mpoly_swap(p_, other.p_, ctx_);
        return *this;
    }
    ~Mpoly() { fmpz_mpoly_clear(p_, ctx_); }

    fmpz_mpoly_struct* get() { return p_; }
    const fmpz_mpoly_struct* get() const { return p_; }
    const fmpz_mpoly_ctx_struct* ctx() const { return ctx_; }
    slong length() const { return fmpz_mpoly_length(p_, ctx_); }
    bool is_zero() const { return fmpz_mpoly_is_zero(p_, ctx_); }

private:
    const fmpz_mpoly_ctx_struct* ctx_;
    fmpz_mpoly_t p_;
};

}  // namespace quorvat::symbolic
