// x(t), t >= 0, of a pair of polynomial files: the closed form by partial fractions on
// certified poles, its table in interval arithmetic, an independent numerical inverse
// (the fixed Talbot contour) and the final value theorem.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/polynomial.h"

namespace quorvat {

/// The terms of one pole σ + jω (ω > 0 stands for the pair σ ± jω) of multiplicity m:
/// sum over k < m of t^k e^(σt) (cos_coef[k] cos ωt + sin_coef[k] sin ωt).
struct PoleTerms {
    double sigma = 0.0, omega = 0.0;
    int multiplicity = 1;
    std::vector<double> cos_coef, sin_coef;
};

/// A cluster of roots of the denominator taken as one repeated pole.
struct MergedCluster {
    double sigma = 0.0, omega = 0.0;   // the centre (ω > 0: the upper one of a pair)
    int roots = 0;                     // roots of the file's denominator in the cluster
    int multiplicity = 0;              // of the pole that replaces them
    double radius = 0.0;               // their largest distance from the centre
    double split_residue = 0.0;        // the largest residue of the separate roots
    double merged_coefficient = 0.0;   // the largest coefficient of the merged pole's terms
};

struct Expansion {
    std::vector<double> impulses;      // [k]: coefficient of the k-th derivative of δ(t)
    std::vector<PoleTerms> poles;      // by decreasing σ, then increasing ω
    std::vector<MergedCluster> merged;
    int refused_clusters = 0;          // clusters within the tolerance that the residues did not justify
};

/// A table of x(t) and how it was obtained.
struct TimeTable {
    std::vector<double> values;
    long precision_bits = 0;           // the largest working precision that was needed
    int uncertain_points = 0;          // points not known to 1e-12 even at the largest precision
};

/// The final value theorem, lim s X(s) as s -> 0, when it applies (every pole in the open
/// left half-plane but for a simple one at the origin).
struct FinalValue {
    bool applies = false;
    double value = 0.0;
};

class InverseLaplace {
public:
    /// The transform Cte_n N(s) / (Cte_d D(s)) of the two files. Returns null with a
    /// Portuguese message when the pair has no inverse (a zero denominator).
    static std::unique_ptr<InverseLaplace> create(const ResultPolynomial& num, const ResultPolynomial& den,
                                                  std::string& error);
    /// The same for files of any degree that hold functions of s/frequency_scale (rad/s).
    static std::unique_ptr<InverseLaplace> create(const WidePolynomial& num, const WidePolynomial& den,
                                                  double frequency_scale, std::string& error);
    ~InverseLaplace();

    const Expansion& expansion() const;

    /// x at each time, each value known to 1e-12 relative (1e-12 of the largest value
    /// where the curve crosses or touches zero): the working precision doubles until it is.
    TimeTable tabulate(const std::vector<double>& times) const;

    /// The fixed Talbot inverse at t > 0 from X(s) alone (without its impulses), with its
    /// own precision: the nodes double until two estimates agree to 1e-14 * scale;
    /// nullopt when that would need more than 4000 nodes.
    std::optional<double> talbot(double t, double scale) const;

    FinalValue final_value() const;

    /// An upper bound of |x(t) - final value| from the terms of the poles off the origin.
    double transient_bound(double t) const;

private:
    double talbot_estimate(double t, long nodes, double shift) const;
    struct Data;
    explicit InverseLaplace(std::unique_ptr<Data> data);
    std::unique_ptr<Data> data_;
};

/// The span of a table chosen from the poles: five time constants of the slowest decaying
/// pole, at least three periods of the slowest oscillation that lasts a quarter period or
/// more (undamped ones included), and for growing poles no more than five of their time
/// constants; rounded up to 1, 1.5, 2, 2.5, 3, 4, 5, 6 or 8 times a power of ten. Poles at
/// the origin only: 10 s. `reason` says which rule decided, in Portuguese.
double choose_span(const std::vector<const Expansion*>& expansions, std::string& reason);

}  // namespace quorvat
