// The MNA stamp of every element kind, written once for any arithmetic: the
// floating-point assembly and the exact one follow the same rules.
#pragma once

#include "engine/tables.h"

namespace quorvat {

/// One quantity a stamp adds: an element value, its reciprocal (a resistor's
/// conductance), the product of two values (a charge or flux of an initial condition:
/// the element's value times a number), or the unit of a branch equation, which belongs
/// to no element (v is 1).
struct StampTerm {
    enum Kind { value, reciprocal, product, unit };
    Kind kind;
    double v;
    double w = 0.0;
};

/// Adds every entry of element e's stamp through target.add(row, column, power, sign,
/// term): sign +1 adds the term to the coefficient of s^power of entry (row, column),
/// -1 subtracts it. Rows and columns 0 (ground) occur; column n + 1 is the right-hand side.
template <class Target>
void stamp_element(Target& target, const EngineTables& tables, const ElementRecord& e) {
    const int rhs = tables.variable_count + 1;
    const int a = e.a, b = e.b, c = e.c, d = e.d, x = e.x, y = e.y;
    const StampTerm one{StampTerm::unit, 1.0};
    const StampTerm v{StampTerm::value, e.value};
    auto g = [&](int r, int col, int sign, const StampTerm& t) { target.add(r, col, 0, sign, t); };
    auto s = [&](int r, int col, int sign, const StampTerm& t) { target.add(r, col, 1, sign, t); };
    // Four entries of a conductance-like stamp between (a, b) and (c, d), at power p.
    auto cross = [&](int ra, int rb, int ca, int cb, int p, const StampTerm& t) {
        target.add(ra, ca, p, +1, t);
        target.add(rb, cb, p, +1, t);
        target.add(ra, cb, p, -1, t);
        target.add(rb, ca, p, -1, t);
    };
    // Impulse sources (type 'I') stand in the s^1 coefficient, steps ('D') in s^0.
    const int source_power = e.y == 'I' ? 1 : 0;
    // A current source from a to b: its value leaves node a and enters node b.
    auto source = [&](int from, int to, int p, const StampTerm& t) {
        target.add(from, rhs, p, -1, t);
        target.add(to, rhs, p, +1, t);
    };
    // The branch equations of a voltage-defined element: current x leaves through a, b.
    auto branch = [&](int sign) {
        g(a, x, +1, one);
        g(b, x, -1, one);
        g(x, a, sign, one);
        g(x, b, -sign, one);
    };
    switch (e.kind()) {
        case 'R':
            cross(a, b, a, b, 0, {StampTerm::reciprocal, e.value});
            break;
        case 'G':
            cross(a, b, c, d, 0, v);
            break;
        case 'C':
            cross(a, b, a, b, 1, v);
            source(b, a, 1, {StampTerm::product, e.value, e.second_value});
            break;
        case 'I':
            source(a, b, source_power, v);
            break;
        case 'V':
            branch(+1);
            target.add(x, rhs, source_power, +1, v);
            break;
        case 'E':
            branch(+1);
            g(x, c, -1, v);
            g(x, d, +1, v);
            break;
        case 'F':
            g(a, x, +1, v);
            g(b, x, -1, v);
            g(c, x, +1, one);
            g(d, x, -1, one);
            g(x, c, +1, one);
            g(x, d, -1, one);
            break;
        case 'H':
            g(a, x, +1, one);
            g(b, x, -1, one);
            g(c, y, +1, one);
            g(d, y, -1, one);
            g(x, a, +1, one);
            g(x, b, -1, one);
            g(y, c, +1, one);
            g(y, d, -1, one);
            g(x, y, -1, v);
            break;
        case 'O':
            g(a, x, +1, one);
            g(b, x, -1, one);
            g(x, c, +1, one);
            g(x, d, -1, one);
            break;
        case 'L':
            branch(-1);
            s(x, x, +1, v);
            s(x, rhs, +1, {StampTerm::product, e.value, e.second_value});
            break;
        case 'K': {
            // x and y are the extra currents of the two inductors, w the mutual inductance.
            const StampTerm m{StampTerm::value, e.second_value};
            s(x, y, +1, m);
            s(y, x, +1, m);
            s(x, rhs, +1, {StampTerm::product, e.second_value, tables.elements[b].second_value});
            s(y, rhs, +1, {StampTerm::product, e.second_value, tables.elements[a].second_value});
            break;
        }
        default:
            break;
    }
}

}  // namespace quorvat
