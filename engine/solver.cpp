#include "engine/solver.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

#include "engine/text.h"
#include "engine/assembly.h"
#include "engine/polynomial.h"

namespace quorvat {

namespace {

// Extra passes allowed, beyond those of exact arithmetic, for rounding residues at
// degree 0. Dividing by a constant pivot p leaves r = a - fl(fl(a/p) p), whose magnitude
// is at most about 2^-52 |a|; the pivot itself does not change, so it stays the pivot
// (it is the upper row of degree 0, or with condensation the largest). Each further pass
// therefore shrinks every residue by that factor, and (1024 + 1074) / 52 < 41 passes take
// any finite double below the smallest subnormal. Residues that do not shrink (a
// subnormal whose quotient rounds to zero, with Z = 0) or a negative Z, which makes every
// polynomial non-zero, would otherwise repeat the passes forever.
constexpr int residue_passes = 64;

// The passes a column may take. A reducing pass with a pivot of degree d >= 1 leaves
// every other entry of the column of degree below d (the remainder of the division, or
// the entry itself when its degree was already lower), so while more than one entry is
// non-zero the pivot degree strictly decreases from pass to pass. With h the highest
// degree in the column, exact arithmetic needs at most h reducing passes of degree >= 1,
// one of degree 0 (its remainders are exactly zero) and the final pass that finds a
// single entry: h + 2.
int pass_limit(const EngineTables& tables, int k) {
    int highest = 0;
    for (int i = k; i <= tables.variable_count; ++i)
        if (tables.mna[i][k].degree > highest) highest = tables.mna[i][k].degree;
    return highest + 2 + residue_passes;
}

void copy_entry(const Polynomial& from, Polynomial& to) {
    for (int i = 0; i <= from.degree; ++i) to.c[i] = from.c[i];
    to.degree = from.degree;
}

// The compact listing of the copied system, in the row format of the stamp listing.
void list_copied_system(const EngineTables& tables, LogSink& log, int v) {
    const int n = tables.variable_count;
    log_message(log, "Sistema antes do cálculo da variável %d", v);
    std::string line;
    for (int r = 1; r <= n; ++r) {
        line.clear();
        for (int c = 1; c <= n + 1; ++c) append_stamp_entry(line, tables.mna[r][c].c[0], tables.mna[r][c].c[1]);
        log.log(line);
    }
}

void log_null_column(LogSink& log, int k, int v) {
    log_message(log, "Coluna %d nula encontrada no cálculo da variável %d. Circuito sem solução.", k, v);
}

// The row whose entry in column k is the pivot: the lowest degree among the non-zero
// entries, the upper row on equal degree, or with condensation the larger leading
// magnitude (the upper row on equal magnitude).
int choose_pivot(const EngineTables& tables, int k, bool condensation) {
    int pivot = k;
    int lowest_degree = 1000;
    double leading = 0.0;
    for (int i = k; i <= tables.variable_count; ++i) {
        const Polynomial& entry = tables.mna[i][k];
        if (!poly_is_nonzero(tables.arithmetic, entry)) continue;
        if (entry.degree < lowest_degree) {
            pivot = i;
            lowest_degree = entry.degree;
            leading = std::fabs(entry.c[entry.degree]);
        } else if (condensation && entry.degree == lowest_degree && std::fabs(entry.c[entry.degree]) > leading) {
            pivot = i;
            leading = std::fabs(entry.c[entry.degree]);
        }
    }
    return pivot;
}

// One reducing pass over column k with pivot row p: every division first, then the rows.
// Returns false when a product exceeds the maximum order (message logged).
bool reduce_column(EngineTables& tables, LogSink& log, int k, int p) {
    const int n = tables.variable_count;
    PolyArithmetic& arithmetic = tables.arithmetic;
    for (int j = k; j <= n; ++j)
        if (j != p) poly_divide(arithmetic, tables.mna[j][k], tables.mna[p][k], tables.quotient[j], tables.remainder[j]);
    for (int j = k; j <= n; ++j) {
        if (j == p) continue;
        copy_entry(tables.remainder[j], tables.mna[j][k]);
        poly_trim(arithmetic, tables.mna[j][k]);
        const Polynomial& q = tables.quotient[j];
        if (!poly_is_nonzero(arithmetic, q)) continue;
        for (int c = k + 1; c <= n + 1; ++c) {
            if (!poly_multiply(arithmetic, log, q, tables.mna[p][c], tables.product)) return false;
            poly_subtract(tables.product, tables.mna[j][c]);
            poly_trim(arithmetic, tables.mna[j][c]);
        }
    }
    return true;
}

// Triangularises column k, pass after pass, until one non-zero entry remains on the
// diagonal. Returns false after logging the cause.
bool eliminate_column(EngineTables& tables, AnalysisHost& host, int k, int v) {
    const int n = tables.variable_count;
    const int limit = pass_limit(tables, k);
    for (int pass = 1;; ++pass) {
        if (pass > limit) {
            log_message(host, "Eliminação sem convergência na coluna %d da variável %d.", k, v);
            return false;
        }
        int count = 0;
        int p = k;
        for (int i = k; i <= n; ++i)
            if (poly_is_nonzero(tables.arithmetic, tables.mna[i][k])) {
                ++count;
                p = i;
            }
        if (host.checked(AnalysisOption::steps))
            log_message(host, "Existem %d elementos não nulos na coluna %d", count, k);
        if (count == 0) {
            log_null_column(host, k, v);
            return false;
        }
        if (count == 1 && p != k) {
            swap_rows(tables, k, p);
            if (host.checked(AnalysisOption::steps)) {
                log_message(host, "Trocadas as linhas %d e %d", k, p);
                list_system(tables, host);
            }
            return true;
        }
        if (host.checked(AnalysisOption::steps)) log_message(host, "Reduzindo a coluna %d", k);
        p = choose_pivot(tables, k, host.checked(AnalysisOption::pivotal_condensation));
        if (host.checked(AnalysisOption::steps)) log_message(host, "Usando como pivot a linha %d", p);
        if (!reduce_column(tables, host, k, p)) return false;
        if (host.checked(AnalysisOption::steps)) {
            log_message(host, "Sistema depois da redução da coluna %d", k);
            list_system(tables, host);
        }
        if (count <= 1) return true;
    }
}

}  // namespace

void prepare_system(EngineTables& tables) {
    const int n = tables.variable_count;
    for (int i = 1; i <= n; ++i) {
        tables.num[i].Cte = 1.0;
        tables.den[i].Cte = 1.0;
    }
    for (int i = 1; i <= n; ++i)
        for (int c = 1; c <= n + 1; ++c) tables.stamp[i][c].degree = tables.stamp[i][c].c1 != 0.0 ? 1 : 0;
}

bool solve_system(EngineTables& tables, AnalysisHost& host) {
    const std::time_t start = std::time(nullptr);
    tables.arithmetic.multiplication_count = 0;
    tables.arithmetic.division_count = 0;
    const int n = tables.variable_count;

    for (int v = 1; v <= n; ++v) {
        // The copy with the columns v and n exchanged: variable v becomes the last one.
        for (int r = 1; r <= n; ++r)
            for (int c = 1; c <= n + 1; ++c) {
                int source = c == n ? v : (c == v ? n : c);
                const StampEntry& from = tables.stamp[r][source];
                Polynomial& to = tables.mna[r][c];
                to.degree = from.degree;
                to.c[0] = from.c0;
                to.c[1] = from.c1;
            }
        if (host.checked(AnalysisOption::list_stamps)) list_copied_system(tables, host, v);
        if (host.checked(AnalysisOption::steps)) {
            log_message(host, "Sistema antes da resolução para a variável %d", v);
            list_system(tables, host);
        }

        for (int k = 1; k <= n - 1; ++k)
            if (!eliminate_column(tables, host, k, v)) return false;
        // Column n is never reduced; a system singular only there leaves a zero diagonal,
        // which would otherwise become a zero denominator.
        if (!poly_is_nonzero(tables.arithmetic, tables.mna[n][n])) {
            log_null_column(host, n, v);
            return false;
        }

        if (host.checked(AnalysisOption::steps) || host.checked(AnalysisOption::final_system)) {
            log_message(host, "Sistema resolvido para a variável %d", v);
            list_system(tables, host);
        }
        const Polynomial& right = tables.mna[n][n + 1];
        const Polynomial& diagonal = tables.mna[n][n];
        for (int i = 0; i <= right.degree; ++i) tables.num[v].c[i] = right.c[i];
        tables.num[v].degree = right.degree;
        for (int i = 0; i <= diagonal.degree; ++i) tables.den[v].c[i] = diagonal.c[i];
        tables.den[v].degree = diagonal.degree;
    }

    log_message(host, "Tempo usado: %ld s", static_cast<long>(std::time(nullptr) - start));
    log_message(host, "Multiplicações de polinômios: %ld", static_cast<long>(tables.arithmetic.multiplication_count));
    log_message(host, "Divisões de polinômios: %ld", static_cast<long>(tables.arithmetic.division_count));
    return true;
}

void swap_rows(EngineTables& tables, int k, int p) {
    for (int c = k; c <= tables.variable_count + 1; ++c) {
        Polynomial& first = tables.mna[k][c];
        Polynomial& second = tables.mna[p][c];
        int larger = first.degree > second.degree ? first.degree : second.degree;
        for (int i = 0; i <= larger; ++i) std::swap(first.c[i], second.c[i]);
        std::swap(first.degree, second.degree);
    }
}

void list_system(const EngineTables& tables, LogSink& log) {
    const int n = tables.variable_count;
    std::string line;
    char head[64];
    for (int c = 1; c <= n + 1; ++c)
        for (int r = 1; r <= n; ++r) {
            std::snprintf(head, sizeof head, r == 1 ? "- Yn[%d,%d]=" : "  Yn[%d,%d]=", r, c);
            line = head;
            const Polynomial& entry = tables.mna[r][c];
            for (int power = entry.degree; power >= 0; --power) {
                if (power >= 2)
                    append_format(line, "%+6.4fs%d ", entry.c[power], power);
                else
                    append_format(line, power == 1 ? "%+6.4fs " : "%+6.4f ", entry.c[power]);
            }
            log.log(line);
        }
}

}  // namespace quorvat
