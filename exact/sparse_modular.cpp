#include "exact/sparse_modular.h"

#include <algorithm>

#include <flint/fmpz.h>
#include <flint/fmpq.h>
#include <flint/nmod_mat.h>
#include <flint/nmod_vec.h>
#include <flint/fmpq.h>
#include <flint/nmod_mat.h>
#include <flint/nmod_vec.h>
#include <flint/ulong_extras.h>

#include "exact/multimodular.h"

namespace quorvat::exact {

namespace {

const char* const stage_name = "Resolução modular";

// [A | b] by rows: the non-zero entries of row r are start[r] to start[r + 1]; column n
// is b. Every entry is a polynomial of degree at most one.
struct SparseSystem {
    slong n = 0;
    std::vector<slong> start, column;
    std::vector<const fmpz_poly_struct*> entry;

    SparseSystem(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b) : n(fmpz_poly_mat_nrows(a)) {
        for (slong r = 0; r < n; ++r) {
            start.push_back(static_cast<slong>(column.size()));
            for (slong c = 0; c <= n; ++c) {
                const fmpz_poly_struct* p = c < n ? fmpz_poly_mat_entry(a, r, c) : fmpz_poly_mat_entry(b, r, 0);
                if (fmpz_poly_is_zero(p)) continue;
                column.push_back(c);
                entry.push_back(p);
            }
        }
        start.push_back(static_cast<slong>(column.size()));
    }
};

// The system's coefficients modulo one prime.
struct Residues {
    nmod_t mod;
    std::vector<mp_limb_t> c0, c1;

    Residues(const SparseSystem& system, mp_limb_t prime) {
        nmod_init(&mod, prime);
        for (const fmpz_poly_struct* p : system.entry) {
            c0.push_back(p->length > 0 ? fmpz_fdiv_ui(p->coeffs, prime) : 0);
            c1.push_back(p->length > 1 ? fmpz_fdiv_ui(p->coeffs + 1, prime) : 0);
        }
    }
    mp_limb_t at(slong e, mp_limb_t x) const { return nmod_add(c0[e], nmod_mul(c1[e], x, mod), mod); }
};

// A pivot order and the patterns of the LU factors it makes. Pivot k is at row row[k]
// and column column[k]; position[c] is the place of column c (n for b). L row k lists
// the earlier pivots that update row k; U row k its places, the diagonal first.
struct PivotOrder {
    std::vector<slong> row, column, position;
    std::vector<slong> lstart, lpos, ustart, upos;
    bool odd = false;  // the row and column permutations' combined parity
};

// Whether a permutation is odd.
bool odd_permutation(const std::vector<slong>& p) {
    std::vector<char> seen(p.size(), 0);
    bool odd = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (seen[i]) continue;
        std::size_t length = 0;
        for (std::size_t j = i; !seen[j]; j = static_cast<std::size_t>(p[j])) {
            seen[j] = 1;
            ++length;
        }
        odd ^= (length % 2 == 0);
    }
    return odd;
}

// Chooses the pivots of A(x) modulo a prime by Markowitz's rule (fewest updates), among
// entries that do not vanish at x, and records the patterns of the factors. False when
// A(x) is singular.
bool choose_order(const SparseSystem& system, const Residues& residues, mp_limb_t x, PivotOrder& order) {
    const slong n = system.n;
    const nmod_t mod = residues.mod;
    std::vector<std::vector<slong>> columns(n), lists(n + 1), updates(n);
    std::vector<std::vector<mp_limb_t>> values(n);
    std::vector<slong> count(n + 1, 0);
    for (slong r = 0; r < n; ++r)
        for (slong e = system.start[r]; e < system.start[r + 1]; ++e) {
            slong c = system.column[e];
            columns[r].push_back(c);
            values[r].push_back(residues.at(e, x));
            lists[c].push_back(r);
            ++count[c];
        }
    std::vector<char> row_done(n, 0), column_done(n, 0);
    std::vector<mp_limb_t> dense(n + 1, 0);
    std::vector<slong> mark(n + 1, -1);
    std::vector<std::vector<slong>> u_columns(n);
    order.row.clear();
    order.column.clear();
    auto value_in = [&](slong r, slong c, mp_limb_t& v) {
        for (std::size_t i = 0; i < columns[r].size(); ++i)
            if (columns[r][i] == c) {
                v = values[r][i];
                return true;
            }
        return false;
    };
    for (slong k = 0; k < n; ++k) {
        // The columns of fewest entries first; every column when they hold no usable pivot.
        std::vector<std::pair<slong, slong>> candidates;
        for (slong c = 0; c < n; ++c)
            if (!column_done[c]) candidates.emplace_back(count[c], c);
        std::size_t shortlist = std::min<std::size_t>(4, candidates.size());
        std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(shortlist),
                          candidates.end());
        slong best_row = -1, best_column = -1, best_cost = 0;
        mp_limb_t pivot = 0;
        for (int pass = 0; pass < 2 && best_row < 0; ++pass) {
            std::size_t end = pass == 0 ? shortlist : candidates.size();
            for (std::size_t i = pass == 0 ? 0 : shortlist; i < end; ++i) {
                slong c = candidates[i].second;
                for (slong r : lists[c]) {
                    mp_limb_t v;
                    if (row_done[r] || !value_in(r, c, v) || v == 0) continue;
                    slong cost = (static_cast<slong>(columns[r].size()) - 1) * (count[c] - 1);
                    if (best_row < 0 || cost < best_cost) {
                        best_row = r;
                        best_column = c;
                        best_cost = cost;
                        pivot = v;
                    }
                }
            }
        }
        if (best_row < 0) return false;
        const slong r = best_row, c = best_column;
        mp_limb_t inverse = n_invmod(pivot, mod.n);
        // Remove the pivot row from the counts, then update every other row holding c.
        for (slong j : columns[r]) --count[j];
        for (slong i : lists[c]) {
            mp_limb_t v;
            if (i == r || row_done[i] || !value_in(i, c, v)) continue;
            if (std::find(updates[i].begin(), updates[i].end(), k) != updates[i].end()) continue;  // listed twice
            mp_limb_t factor = nmod_mul(v, inverse, mod);
            for (std::size_t e = 0; e < columns[i].size(); ++e) {
                mark[columns[i][e]] = i;
                dense[columns[i][e]] = values[i][e];
            }
            for (std::size_t e = 0; e < columns[r].size(); ++e) {
                slong j = columns[r][e];
                if (j == c) continue;
                mp_limb_t update = nmod_mul(factor, values[r][e], mod);
                if (mark[j] != i) {  // fill
                    mark[j] = i;
                    dense[j] = 0;
                    columns[i].push_back(j);
                    lists[j].push_back(i);
                    ++count[j];
                }
                dense[j] = nmod_sub(dense[j], update, mod);
            }
            std::size_t kept = 0;
            values[i].resize(columns[i].size());
            for (std::size_t e = 0; e < columns[i].size(); ++e) {
                slong j = columns[i][e];
                if (j == c) continue;
                columns[i][kept] = j;
                values[i][kept++] = dense[j];
                mark[j] = -1;
            }
            mark[c] = -1;
            columns[i].resize(kept);
            values[i].resize(kept);
            --count[c];
            updates[i].push_back(k);
        }
        row_done[r] = 1;
        column_done[c] = 1;
        order.row.push_back(r);
        order.column.push_back(c);
        u_columns[k] = columns[r];
    }
    order.position.assign(n + 1, n);
    for (slong k = 0; k < n; ++k) order.position[order.column[k]] = k;
    order.lstart.assign(1, 0);
    order.lpos.clear();
    order.ustart.assign(1, 0);
    order.upos.clear();
    for (slong k = 0; k < n; ++k) {
        const std::vector<slong>& l = updates[order.row[k]];
        order.lpos.insert(order.lpos.end(), l.begin(), l.end());
        order.lstart.push_back(static_cast<slong>(order.lpos.size()));
        order.upos.push_back(k);
        for (slong j : u_columns[k])
            if (j != order.column[k]) order.upos.push_back(order.position[j]);
        order.ustart.push_back(static_cast<slong>(order.upos.size()));
    }
    order.odd = odd_permutation(order.row) != odd_permutation(order.column);
    return true;
}

// The numeric LU of A(x) in a fixed pivot order at a block of points at once, the
// pivots of the block inverted together (one inverse per pivot and block): det A(x) and
// the solution of A(x) y = b(x) by original column, solution[c * block + q] at point q.
// ok[q] is false where a pivot vanished at point q (its values are then meaningless).
struct Factorisation {
    std::vector<mp_limb_t> dense, u, inverse, y, multiplier, prefix;

    void run(const PivotOrder& order, const SparseSystem& system, const Residues& residues, const mp_limb_t* x,
             std::size_t block, std::vector<mp_limb_t>& det, std::vector<mp_limb_t>& solution, std::vector<char>& ok) {
        const slong n = system.n;
        const nmod_t mod = residues.mod;
        const std::size_t nb = static_cast<std::size_t>(n);
        dense.assign((nb + 1) * block, 0);
        u.resize(order.upos.size() * block);
        inverse.resize(nb * block);
        multiplier.resize(block);
        prefix.resize(block);
        det.assign(block, order.odd ? mod.n - 1 : 1);
        ok.assign(block, 1);
        for (slong k = 0; k < n; ++k) {
            slong r = order.row[k];
            for (slong e = system.start[r]; e < system.start[r + 1]; ++e) {
                mp_limb_t* target = &dense[static_cast<std::size_t>(order.position[system.column[e]]) * block];
                for (std::size_t q = 0; q < block; ++q) target[q] = residues.at(e, x[q]);
            }
            for (slong l = order.lstart[k]; l < order.lstart[k + 1]; ++l) {
                const std::size_t j = static_cast<std::size_t>(order.lpos[l]);
                mp_limb_t* source = &dense[j * block];
                for (std::size_t q = 0; q < block; ++q) {
                    multiplier[q] = nmod_mul(source[q], inverse[j * block + q], mod);
                    source[q] = 0;
                }
                for (slong e = order.ustart[j] + 1; e < order.ustart[j + 1]; ++e) {
                    mp_limb_t* target = &dense[static_cast<std::size_t>(order.upos[e]) * block];
                    const mp_limb_t* factor = &u[static_cast<std::size_t>(e) * block];
                    for (std::size_t q = 0; q < block; ++q)
                        target[q] = nmod_sub(target[q], nmod_mul(multiplier[q], factor[q], mod), mod);
                }
            }
            for (slong e = order.ustart[k]; e < order.ustart[k + 1]; ++e) {
                mp_limb_t* source = &dense[static_cast<std::size_t>(order.upos[e]) * block];
                std::copy(source, source + block, &u[static_cast<std::size_t>(e) * block]);
                std::fill(source, source + block, 0);
            }
            // Montgomery's batch inversion of the block's pivots.
            mp_limb_t* pivot = &u[static_cast<std::size_t>(order.ustart[k]) * block];
            mp_limb_t running = 1;
            for (std::size_t q = 0; q < block; ++q) {
                if (pivot[q] == 0) {
                    ok[q] = 0;
                    pivot[q] = 1;
                }
                prefix[q] = running;
                running = nmod_mul(running, pivot[q], mod);
                det[q] = nmod_mul(det[q], pivot[q], mod);
            }
            mp_limb_t all = n_invmod(running, mod.n);
            mp_limb_t* out = &inverse[static_cast<std::size_t>(k) * block];
            for (std::size_t q = block; q-- > 0;) {
                out[q] = nmod_mul(all, prefix[q], mod);
                all = nmod_mul(all, pivot[q], mod);
            }
        }
        y.assign(nb * block, 0);
        for (slong k = n - 1; k >= 0; --k) {
            mp_limb_t* sum = &y[static_cast<std::size_t>(k) * block];
            for (slong e = order.ustart[k] + 1; e < order.ustart[k + 1]; ++e) {
                const std::size_t place = static_cast<std::size_t>(order.upos[e]);
                const mp_limb_t* value = &u[static_cast<std::size_t>(e) * block];
                if (place == nb) {
                    for (std::size_t q = 0; q < block; ++q) sum[q] = nmod_add(sum[q], value[q], mod);
                } else {
                    const mp_limb_t* known = &y[place * block];
                    for (std::size_t q = 0; q < block; ++q)
                        sum[q] = nmod_sub(sum[q], nmod_mul(value[q], known[q], mod), mod);
                }
            }
            const mp_limb_t* inv = &inverse[static_cast<std::size_t>(k) * block];
            for (std::size_t q = 0; q < block; ++q) sum[q] = nmod_mul(sum[q], inv[q], mod);
        }
        solution.resize(nb * block);
        for (slong k = 0; k < n; ++k)
            std::copy(&y[static_cast<std::size_t>(k) * block], &y[static_cast<std::size_t>(k) * block] + block,
                      &solution[static_cast<std::size_t>(order.column[k]) * block]);
    }
};

// The polynomials of degree < L through the values ys (one row per polynomial) at the
// L points xs modulo a prime, all at once: the Lagrange basis of the points as an L x L
// matrix, kept by coefficient (row j the coefficient of s^j of every basis polynomial),
// then one dot product per output coefficient. The buffers live across primes: at a few
// megabytes each, freeing them would hand them back to the system and fault them in again.
struct Interpolation {
    std::vector<mp_limb_t> master, quotient, basis;

    void run(const std::vector<mp_limb_t>& xs, nmod_t mod, const std::vector<mp_limb_t>& ys, std::size_t rows,
             std::vector<mp_limb_t>& out) {
        const std::size_t l = xs.size();
        // M(s) = prod (s - x_i), then each M / (s - x_i) by synthetic division.
        master.assign(l + 1, 0);
        quotient.resize(l);
        basis.resize(l * l);
        master[0] = 1;
        for (std::size_t i = 0; i < l; ++i) {
            for (std::size_t j = i + 1; j > 0; --j)
                master[j] = nmod_sub(master[j - 1], nmod_mul(xs[i], master[j], mod), mod);
            master[0] = nmod_neg(nmod_mul(xs[i], master[0], mod), mod);
        }
        for (std::size_t i = 0; i < l; ++i) {
            mp_limb_t carry = 0;  // quotient of master by (s - x_i), highest power first
            for (std::size_t j = l; j > 0; --j) {
                carry = nmod_add(master[j], nmod_mul(carry, xs[i], mod), mod);
                quotient[j - 1] = carry;
            }
            mp_limb_t at = 0;  // the quotient at x_i
            for (std::size_t j = l; j > 0; --j) at = nmod_add(nmod_mul(at, xs[i], mod), quotient[j - 1], mod);
            const mp_limb_t w = n_invmod(at, mod.n);
            for (std::size_t j = 0; j < l; ++j) basis[j * l + i] = nmod_mul(w, quotient[j], mod);
        }
        const slong length = static_cast<slong>(l);
        const int limbs = _nmod_vec_dot_bound_limbs(length, mod);
        out.resize(rows * l);
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t j = 0; j < l; ++j)
                out[r * l + j] = _nmod_vec_dot(&ys[r * l], &basis[j * l], length, mod, limbs);
    }
};

// Whether A(s) v = 0 for a vector v of integers, which proves det A(s) = 0 at once. The
// usual singular circuits have one: a floating node group (v its indicator), a loop of
// voltage sources (v +-1 around it). v is found as the kernel of A(x) modulo the prime
// at one point, normalised and read back as small rationals; a kernel that depends on s
// is not found this way, and then the caller goes on to the slower proof by primes.
constexpr slong max_kernel_variables = 2000;  // the dense matrix modulo the prime: 32 MB

bool has_constant_kernel_vector(const SparseSystem& system, const Residues& residues, mp_limb_t x) {
    const slong n = system.n;
    if (n > max_kernel_variables) return false;
    nmod_mat_t values, kernel;
    nmod_mat_init(values, n, n, residues.mod.n);
    nmod_mat_init(kernel, n, n, residues.mod.n);
    for (slong r = 0; r < n; ++r)
        for (slong e = system.start[r]; e < system.start[r + 1]; ++e)
            if (system.column[e] < n) nmod_mat_entry(values, r, system.column[e]) = residues.at(e, x);
    const slong nullity = nmod_mat_nullspace(kernel, values);
    std::vector<fmpq> v(static_cast<std::size_t>(n));
    for (fmpq& q : v) fmpq_init(&q);
    bool found = false;
    if (nullity > 0) {
        // The first basis vector, scaled to 1 at its first non-zero entry.
        slong lead = 0;
        while (lead < n && nmod_mat_entry(kernel, lead, 0) == 0) ++lead;
        const mp_limb_t scale = n_invmod(nmod_mat_entry(kernel, lead, 0), residues.mod.n);
        fmpz_t residue, modulus, denominators;
        fmpz_init(residue);
        fmpz_init_set_ui(modulus, residues.mod.n);
        fmpz_init_set_ui(denominators, 1);
        found = true;
        for (slong c = 0; c < n && found; ++c) {
            fmpz_set_ui(residue, nmod_mul(nmod_mat_entry(kernel, c, 0), scale, residues.mod));
            found = fmpq_reconstruct_fmpz(&v[static_cast<std::size_t>(c)], residue, modulus) != 0;
            fmpz_lcm(denominators, denominators, fmpq_denref(&v[static_cast<std::size_t>(c)]));
        }
        // Exactly: every row of A(s) times v, over the common denominator, is zero.
        fmpz_poly_t row, term;
        fmpz_poly_init(row);
        fmpz_poly_init(term);
        fmpz_t weight;
        fmpz_init(weight);
        for (slong r = 0; r < n && found; ++r) {
            fmpz_poly_zero(row);
            for (slong e = system.start[r]; e < system.start[r + 1]; ++e) {
                const slong c = system.column[e];
                if (c >= n) continue;
                const fmpq* q = &v[static_cast<std::size_t>(c)];
                fmpz_divexact(weight, denominators, fmpq_denref(q));
                fmpz_mul(weight, weight, fmpq_numref(q));
                fmpz_poly_scalar_mul_fmpz(term, system.entry[e], weight);
                fmpz_poly_add(row, row, term);
            }
            found = fmpz_poly_is_zero(row);
        }
        fmpz_clear(weight);
        fmpz_poly_clear(row);
        fmpz_poly_clear(term);
        fmpz_clear(residue);
        fmpz_clear(modulus);
        fmpz_clear(denominators);
    }
    for (fmpq& q : v) fmpq_clear(&q);
    nmod_mat_clear(values);
    nmod_mat_clear(kernel);
    return found;
}

// Every term of det A, or of a Cramer numerator, takes one entry from each row of
// [A | b], and one from each column of A but one replaced by b.
slong degree_bound(const SparseSystem& system) {
    const slong n = system.n;
    slong rows = 0;
    std::vector<char> column_has_s(n + 1, 0);
    for (slong r = 0; r < n; ++r) {
        bool has_s = false;
        for (slong e = system.start[r]; e < system.start[r + 1]; ++e)
            if (system.entry[e]->length > 1) {
                has_s = true;
                column_has_s[system.column[e]] = 1;
            }
        rows += has_s;
    }
    slong columns = 0;
    for (slong c = 0; c <= n; ++c) columns += column_has_s[c];
    return std::min(rows, columns);
}

// Whether A * numerators = den * b holds exactly.
bool satisfies(const SparseSystem& system, const IntPoly& den, const std::vector<IntPoly>& numerators) {
    IntPoly sum, term;
    for (slong r = 0; r < system.n; ++r) {
        fmpz_poly_zero(sum.get());
        for (slong e = system.start[r]; e < system.start[r + 1]; ++e) {
            slong c = system.column[e];
            if (c == system.n) {
                fmpz_poly_mul(term.get(), den.get(), system.entry[e]);
                fmpz_poly_sub(sum.get(), sum.get(), term.get());
            } else {
                fmpz_poly_mul(term.get(), numerators[c].get(), system.entry[e]);
                fmpz_poly_add(sum.get(), sum.get(), term.get());
            }
        }
        if (!fmpz_poly_is_zero(sum.get())) return false;
    }
    return true;
}

// The integers reconstructed so far: every coefficient of every sought polynomial
// modulo the product of the primes used, as non-negative residues.
struct Reconstruction {
    std::vector<fmpz> values;
    fmpz_t modulus;
    Reconstruction() { fmpz_init_set_ui(modulus, 1); }
    ~Reconstruction() {
        for (fmpz& v : values) fmpz_clear(&v);
        fmpz_clear(modulus);
    }
    Reconstruction(const Reconstruction&) = delete;
    Reconstruction& operator=(const Reconstruction&) = delete;

    // Folds in a batch of primes, residues[i * primes.size() + j] being coefficient i
    // modulo primes[j]. True when some coefficient changed.
    bool add(const std::vector<mp_limb_t>& primes, const std::vector<mp_limb_t>& residues, std::size_t count) {
        const slong batch = static_cast<slong>(primes.size());
        const bool first = values.empty();
        if (first) {
            values.resize(count);
            for (fmpz& v : values) fmpz_init(&v);
        }
        fmpz_t part, batch_modulus, lift, step;
        fmpz_init(part);
        fmpz_init_set_ui(batch_modulus, 1);
        fmpz_init(lift);
        fmpz_init(step);
        for (mp_limb_t p : primes) fmpz_mul_ui(batch_modulus, batch_modulus, p);
        // v + M * ((r - v) / M mod the batch's modulus): one inverse for every coefficient.
        if (!first) fmpz_invmod(lift, modulus, batch_modulus);
        fmpz_comb_t comb;
        fmpz_comb_temp_t temp;
        fmpz_comb_init(comb, primes.data(), batch);
        fmpz_comb_temp_init(temp, comb);
        bool changed = false;
        for (std::size_t i = 0; i < count; ++i) {
            if (batch == 1)
                fmpz_set_ui(part, residues[i]);
            else
                fmpz_multi_CRT_ui(part, residues.data() + i * primes.size(), comb, temp, 0);
            if (first) {
                fmpz_swap(values.data() + i, part);
                changed = true;
                continue;
            }
            fmpz_mod(step, values.data() + i, batch_modulus);
            fmpz_sub(step, part, step);
            fmpz_mul(step, step, lift);
            fmpz_mod(step, step, batch_modulus);
            if (fmpz_is_zero(step)) continue;
            changed = true;
            fmpz_addmul(values.data() + i, step, modulus);
        }
        fmpz_comb_temp_clear(temp);
        fmpz_comb_clear(comb);
        fmpz_mul(modulus, modulus, batch_modulus);
        fmpz_clear(part);
        fmpz_clear(batch_modulus);
        fmpz_clear(lift);
        fmpz_clear(step);
        return changed;
    }

    // Whether every value, taken as a symmetric residue, is well below the modulus: the
    // mark of integers already recovered, where a residue still missing primes looks as
    // large as the modulus. Only a hint for when to check the solution.
    bool looks_complete() const {
        fmpz_t v;
        fmpz_init(v);
        const slong modulus_bits = static_cast<slong>(fmpz_bits(modulus));
        slong largest = 0;
        for (const fmpz& value : values) {
            fmpz_sub(v, modulus, &value);
            largest = std::max(largest, static_cast<slong>(std::min(fmpz_bits(&value), fmpz_bits(v))));
            if (largest + 16 >= modulus_bits) break;
        }
        fmpz_clear(v);
        return largest + 16 < modulus_bits;
    }

    // Polynomial o of length `length` as signed integers (symmetric residues).
    void get(IntPoly& out, std::size_t o, slong length) const {
        fmpz_t half, v;
        fmpz_init(half);
        fmpz_init(v);
        fmpz_fdiv_q_2exp(half, modulus, 1);
        fmpz_poly_zero(out.get());
        for (slong i = length - 1; i >= 0; --i) {
            fmpz_set(v, values.data() + o * static_cast<std::size_t>(length) + static_cast<std::size_t>(i));
            if (fmpz_cmp(v, half) > 0) fmpz_sub(v, v, modulus);
            fmpz_poly_set_coeff_fmpz(out.get(), i, v);
        }
        fmpz_clear(half);
        fmpz_clear(v);
    }
};

}  // namespace

ModularOutcome solve_sparse_modular(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, const std::vector<int>& wanted,
                                    IntPoly& den, std::vector<IntPoly>& numerators, ProgressThrottle& progress) {
    const SparseSystem system(a, b);
    const slong n = system.n;
    const long needed_bits = cramer_bound_bits(a, b) + 2;  // symmetric residues: twice the bound
    const slong degree = degree_bound(system);
    const slong length = degree + 1;
    std::vector<slong> sought;  // the variables (0-based) whose numerators are reconstructed
    if (wanted.empty())
        for (slong k = 0; k < n; ++k) sought.push_back(k);
    else
        for (int k : wanted) sought.push_back(k - 1);
    std::sort(sought.begin(), sought.end());
    sought.erase(std::unique(sought.begin(), sought.end()), sought.end());
    const bool every_variable = static_cast<slong>(sought.size()) == n;
    const std::size_t outputs = sought.size() + 1;  // den first
    const std::size_t coefficients = outputs * static_cast<std::size_t>(length);

    numerators.assign(static_cast<std::size_t>(n), IntPoly());
    fmpz_poly_zero(den.get());
    Reconstruction reconstruction;
    fmpz_t excluded;
    fmpz_init_set_ui(excluded, 1);  // product of the primes modulo which det A vanishes
    PivotOrder order;
    bool have_order = false, regular = false, tried_kernel = false;
    Factorisation lu;
    Interpolation interpolation;
    std::vector<mp_limb_t> xs, ys, polynomials;
    std::vector<mp_limb_t> batch_primes, batch_residues;
    std::size_t batch_size = 1, folded_primes = 0;
    // Primes of 59 bits: a dot product of up to 1024 products then fits in two limbs,
    // which makes the interpolation's matrix product about twice as fast as at 62 bits.
    constexpr int prime_bits = 59;
    mp_limb_t prime = UWORD(1) << (prime_bits - 1);
    ModularOutcome outcome = ModularOutcome::singular;
    for (;;) {
        prime = n_nextprime(prime, 1);
        Residues residues(system, prime);
        xs.clear();
        ys.assign(coefficients, 0);  // ys[o * length + point]
        slong vanishing = 0;
        // Points spread over the field by the prime, away from 0 where s-only pivots vanish.
        mp_limb_t x = (prime * UWORD(0x9E3779B97F4A7C15)) % (prime / 2) + 1;
        std::vector<mp_limb_t> block_points, dets, block_solution;
        std::vector<char> ok;
        auto record = [&](mp_limb_t point_x, mp_limb_t det, const mp_limb_t* values, std::size_t stride) {
            const std::size_t point = xs.size();
            xs.push_back(point_x);
            ys[point] = det;
            for (std::size_t o = 1; o < outputs; ++o)
                ys[o * static_cast<std::size_t>(length) + point] =
                    nmod_mul(det, values[static_cast<std::size_t>(sought[o - 1]) * stride], residues.mod);
        };
        while (static_cast<slong>(xs.size()) < length && vanishing <= degree) {
            double done = (static_cast<double>(fmpz_bits(reconstruction.modulus)) +
                           static_cast<double>(prime_bits - 1) * static_cast<double>(batch_primes.size() + xs.size() / static_cast<double>(length))) /
                          static_cast<double>(needed_bits);
            if (!progress.report(stage_name, done)) {
                fmpz_clear(excluded);
                return ModularOutcome::cancelled;
            }
            const std::size_t block = have_order ? std::min<std::size_t>(32, static_cast<std::size_t>(length) - xs.size()) : 1;
            block_points.clear();
            for (std::size_t q = 0; q < block; ++q) block_points.push_back(x = nmod_add(x, 1, residues.mod));
            if (have_order) {
                lu.run(order, system, residues, block_points.data(), block, dets, block_solution, ok);
                for (std::size_t q = 0; q < block; ++q)
                    if (ok[q]) record(block_points[q], dets[q], block_solution.data() + q, block);
                if (std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; })) continue;
            }
            for (std::size_t q = 0; q < block; ++q) {
                if (have_order && ok[q]) continue;
                // A pivot of the order vanished here, or there is no order yet: choose one
                // at this point; none means det A(x) = 0.
                PivotOrder fresh;
                if (!choose_order(system, residues, block_points[q], fresh)) {
                    // Singular at this point: at the first one, look for the kernel that
                    // would prove the whole system singular.
                    if (!regular && !tried_kernel) {
                        tried_kernel = true;
                        if (has_constant_kernel_vector(system, residues, block_points[q])) {
                            fmpz_clear(excluded);
                            return ModularOutcome::singular;
                        }
                    }
                    ++vanishing;
                    continue;
                }
                order = std::move(fresh);
                have_order = true;
                std::vector<char> single_ok;
                lu.run(order, system, residues, &block_points[q], 1, dets, block_solution, single_ok);
                if (single_ok[0] && static_cast<slong>(xs.size()) < length) record(block_points[q], dets[0], block_solution.data(), 1);
            }
        }
        if (static_cast<slong>(xs.size()) < length) {
            // det A vanishes identically modulo this prime. A regular system's det has
            // content below the bound: it cannot vanish modulo primes whose product exceeds it.
            fmpz_mul_ui(excluded, excluded, prime);
            if (!regular && static_cast<long>(fmpz_bits(excluded)) > needed_bits) break;
            continue;
        }
        regular = true;
        {
            interpolation.run(xs, residues.mod, ys, outputs, polynomials);
            const std::size_t slot = batch_primes.size();
            batch_primes.push_back(prime);
            batch_residues.resize(coefficients * batch_size);
            for (std::size_t i = 0; i < coefficients; ++i) batch_residues[i * batch_size + slot] = polynomials[i];
        }
        const long bits_after = static_cast<long>(fmpz_bits(reconstruction.modulus)) +
                                (prime_bits - 1) * static_cast<long>(batch_primes.size());
        if (batch_primes.size() < batch_size && bits_after <= needed_bits) continue;
        // The batch is complete (or enough to pass the bound): fold it in.
        if (batch_primes.size() < batch_size) {  // compact to the primes present
            std::vector<mp_limb_t> compact(coefficients * batch_primes.size());
            for (std::size_t i = 0; i < coefficients; ++i)
                for (std::size_t j = 0; j < batch_primes.size(); ++j)
                    compact[i * batch_primes.size() + j] = batch_residues[i * batch_size + j];
            batch_residues.swap(compact);
        }
        const bool changed = reconstruction.add(batch_primes, batch_residues, coefficients);
        folded_primes += batch_primes.size();
        batch_primes.clear();
        // Batches of a quarter of the primes so far: a solution is checked at most a
        // quarter past the primes it needed, and the folds stay few.
        batch_size = std::clamp<std::size_t>(folded_primes / 2, 1, 16);
        const bool past_bound = static_cast<long>(fmpz_bits(reconstruction.modulus)) > needed_bits;
        if (!past_bound && (!every_variable || (changed && !reconstruction.looks_complete()))) continue;
        reconstruction.get(den, 0, length);
        for (std::size_t o = 1; o < outputs; ++o)
            reconstruction.get(numerators[static_cast<std::size_t>(sought[o - 1])], o, length);
        // Past the bound the residues are the integers; before it, a result that one
        // more batch of primes left unchanged, or whose values already sit well below
        // the modulus, is accepted once it satisfies the system.
        if (past_bound || satisfies(system, den, numerators)) {
            outcome = ModularOutcome::solved;
            break;
        }
    }
    fmpz_clear(excluded);
    if (outcome != ModularOutcome::solved) {
        numerators.assign(static_cast<std::size_t>(n), IntPoly());
        fmpz_poly_zero(den.get());
    }
    return outcome;
}

}  // namespace quorvat::exact
