#include "engine/assembly.h"

#include <cstdio>
#include <string>

#include "engine/text.h"
#include "engine/fp_fault.h"

namespace quorvat {

namespace {

bool too_many_variables(EngineTables& tables, LogSink& log) {
    if (tables.variable_count <= max_variables) return false;
    log_message(log, "As correntes extra excederam o número de variáveis permitido (%d)", max_variables);
    return true;
}

// s^0 coefficient of entry (r, c).
double& g(EngineTables& tables, int r, int c) { return tables.stamp[r][c].c0; }
// s^1 coefficient of entry (r, c).
double& s(EngineTables& tables, int r, int c) { return tables.stamp[r][c].c1; }
// Coefficient of s^power of entry (r, c).
double& coefficient(EngineTables& tables, int r, int c, int power) {
    return power == 1 ? s(tables, r, c) : g(tables, r, c);
}

// Impulse sources (type 'I') stand in the s^1 coefficient, steps ('D') in s^0.
int source_power(const ElementRecord& e) { return e.y == 'I' ? 1 : 0; }

void stamp(EngineTables& tables, const ElementRecord& e) {
    const int rhs = tables.variable_count + 1;
    const int a = e.a, b = e.b, c = e.c, d = e.d, x = e.x, y = e.y;
    const double v = e.value, w = e.second_value;
    switch (e.kind()) {
        case 'R':
            stamp_conductance(tables, a, b, a, b, 1.0 / v);
            break;
        case 'G':
            stamp_conductance(tables, a, b, c, d, v);
            break;
        case 'C':
            stamp_capacitance(tables, a, b, a, b, v);
            stamp_source(tables, b, a, v * w, 1);
            break;
        case 'I':
            stamp_source(tables, a, b, v, source_power(e));
            break;
        case 'V':
            g(tables, a, x) += 1;
            g(tables, b, x) -= 1;
            g(tables, x, a) += 1;
            g(tables, x, b) -= 1;
            coefficient(tables, x, rhs, source_power(e)) += v;
            break;
        case 'E':
            g(tables, a, x) += 1;
            g(tables, b, x) -= 1;
            g(tables, x, a) += 1;
            g(tables, x, b) -= 1;
            g(tables, x, c) -= v;
            g(tables, x, d) += v;
            break;
        case 'F':
            g(tables, a, x) += v;
            g(tables, b, x) -= v;
            g(tables, c, x) += 1;
            g(tables, d, x) -= 1;
            g(tables, x, c) += 1;
            g(tables, x, d) -= 1;
            break;
        case 'H':
            g(tables, a, x) += 1;
            g(tables, b, x) -= 1;
            g(tables, c, y) += 1;
            g(tables, d, y) -= 1;
            g(tables, x, a) += 1;
            g(tables, x, b) -= 1;
            g(tables, y, c) += 1;
            g(tables, y, d) -= 1;
            g(tables, x, y) -= v;
            break;
        case 'O':
            g(tables, a, x) += 1;
            g(tables, b, x) -= 1;
            g(tables, x, c) += 1;
            g(tables, x, d) -= 1;
            break;
        case 'L':
            g(tables, a, x) += 1;
            g(tables, b, x) -= 1;
            g(tables, x, a) -= 1;
            g(tables, x, b) += 1;
            s(tables, x, x) += v;
            s(tables, x, rhs) += v * w;
            break;
        case 'K': {
            // x and y are the extra currents of the two inductors, w the mutual inductance.
            const double first_current = tables.elements[a].second_value;
            const double second_current = tables.elements[b].second_value;
            s(tables, x, y) += w;
            s(tables, y, x) += w;
            s(tables, x, rhs) += w * second_current;
            s(tables, y, rhs) += w * first_current;
            break;
        }
        default:
            break;
    }
}

}  // namespace

bool number_variables(EngineTables& tables, LogSink& log) {
    for (int j = 1; j <= tables.element_count; ++j) {
        ElementRecord& e = tables.elements[j];
        switch (e.kind()) {
            case 'V':
            case 'E':
            case 'F':
            case 'O':
            case 'L':
                ++tables.variable_count;
                if (too_many_variables(tables, log)) return false;
                tables.set_variable_name(tables.variable_count, std::string("j") + e.name);
                e.x = tables.variable_count;
                break;
            case 'H':
                tables.variable_count += 2;
                if (too_many_variables(tables, log)) return false;
                tables.set_variable_name(tables.variable_count - 1, std::string("jx") + e.name);
                e.x = tables.variable_count - 1;
                tables.set_variable_name(tables.variable_count, std::string("jy") + e.name);
                e.y = tables.variable_count;
                break;
            case 'K':
                e.x = tables.elements[e.a].x;
                e.y = tables.elements[e.b].x;
                break;
            default:
                break;
        }
    }
    return true;
}

void stamp_elements(EngineTables& tables, AnalysisHost& host) {
    const int n = tables.variable_count;
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n + 1; ++c) {
            tables.stamp[r][c].c0 = 0.0;
            tables.stamp[r][c].c1 = 0.0;
        }
    for (int j = 1; j <= tables.element_count; ++j) {
        const ElementRecord& e = tables.elements[j];
        stamp(tables, e);
        fp_check();  // a resistor of 0 ohms divides by zero here
        if (host.checked(AnalysisOption::list_stamps)) list_stamp_matrix(tables, host, e.name);
    }
}

void stamp_conductance(EngineTables& tables, int a, int b, int c, int d, double v) {
    g(tables, a, c) += v;
    g(tables, b, d) += v;
    g(tables, a, d) -= v;
    g(tables, b, c) -= v;
}

void stamp_capacitance(EngineTables& tables, int a, int b, int c, int d, double v) {
    s(tables, a, c) += v;
    s(tables, b, d) += v;
    s(tables, a, d) -= v;
    s(tables, b, c) -= v;
}

void stamp_source(EngineTables& tables, int a, int b, double v, int power) {
    const int rhs = tables.variable_count + 1;
    coefficient(tables, a, rhs, power) -= v;
    coefficient(tables, b, rhs, power) += v;
}

void append_stamp_entry(std::string& line, double c0, double c1) {
    if (c0 == 0.0 && c1 == 0.0)
        line += "........... ";
    else
        append_format(line, "%+4.2fs%+4.2f ", c1, c0);
}

void list_stamp_matrix(const EngineTables& tables, LogSink& log, std::string_view name) {
    const int n = tables.variable_count;
    log_message(log, "Sistema após a estampa de %.*s", static_cast<int>(name.size()), name.data());
    std::string line;
    for (int i = 1; i <= n; ++i) {
        line.clear();
        for (int j = 1; j <= n + 1; ++j) append_stamp_entry(line, tables.stamp[i][j].c0, tables.stamp[i][j].c1);
        log.log(line);
    }
}

}  // namespace quorvat
