// The poles of an exact transform, certified (arb), the merging of root clusters into
// repeated poles, and the partial-fraction terms at a chosen working precision.
#pragma once

#include <vector>

#include "certified/arb_types.h"
#include "certified/certified_roots.h"
#include "time/exact_transform.h"

namespace quorvat {

/// A root of the denominator with its exact multiplicity (from the square-free factorisation).
using RootItem = CertifiedRoot;

/// Every root of D to at least prec accurate bits; isolated, so distinct balls are distinct roots.
std::vector<RootItem> find_roots(const ExactTransform& x, slong prec);

/// The roots of `now` in the order of `reference` (the same roots at another precision):
/// each reference root takes the root of `now` nearest to it.
std::vector<RootItem> match_roots(const std::vector<RootItem>& reference, std::vector<RootItem> now);

/// The largest relative change of a denominator coefficient that the clusters may need,
/// on top of an absolute 1e-12: the polynomial files keep 12 decimals, the doubles 53 bits.
constexpr double cluster_absolute_tolerance = 1e-12;
constexpr double cluster_relative_tolerance = 8.9e-16;  // 4 * 2^-52

/// Groups roots into clusters to be merged: cluster_of[i] is the cluster of root i (roots
/// alone have their own). Two groups are joined when the denominator with the merged pole
/// at their weighted centre, lc * prod (s - c)^m, differs from the file's coefficient c[i]
/// by at most 1e-12 + 8.9e-16 |c[i]|; conjugate groups are joined together.
std::vector<int> plan_clusters(const ExactTransform& x, const std::vector<RootItem>& roots, slong prec);

/// One pole of the expansion: x(t) gets sum_k c[k] t^k e^(p t) from it, and the conjugate
/// of that from its mirror (a lower pole, whose terms the upper one accounts for).
struct ModelPole {
    AcbNumber p;
    int multiplicity = 1;
    bool real = false;
    bool lower = false;
    std::vector<AcbNumber> c;
    int roots = 1;              // roots of D merged into this pole
    std::vector<int> members;   // their indexes in the root list
    double radius = 0.0;        // their largest distance from p
};

struct Model {
    slong prec = 0;
    std::vector<ModelPole> poles;
};

/// The partial-fraction model of x with the clusters of plan_clusters merged.
Model build_model(const ExactTransform& x, const std::vector<RootItem>& roots, const std::vector<int>& cluster_of,
                  slong prec);

/// x(t) of the model, the real part of the sum of its terms, as a ball.
void evaluate_model(const Model& model, const arb_t t, arb_t out);

}  // namespace quorvat
