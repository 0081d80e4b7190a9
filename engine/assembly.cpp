#include "engine/assembly.h"

#include <cstdio>
#include <string>

#include "engine/text.h"
#include "engine/fp_fault.h"
#include "engine/stamp_rules.h"

namespace quorvat {

namespace {

bool too_many_variables(EngineTables& tables, LogSink& log) {
    if (tables.variable_count <= tables.limits.variables) return false;
    if (tables.limits.design())
        log_message(log, "As correntes extra excederam o número de variáveis permitido (%d)", max_variables);
    else
        log_message(log, "O circuito tem mais de %d variáveis, o limite do cálculo exato.", tables.limits.variables);
    return true;
}

// The floating-point assembly: each term rounded as computed, added to the StampMatrix.
struct DoubleStamp {
    EngineTables& tables;
    void add(int r, int c, int power, int sign, const StampTerm& t) {
        const double value = t.kind == StampTerm::reciprocal ? 1.0 / t.v
                             : t.kind == StampTerm::product  ? t.v * t.w
                                                             : t.v;
        double& entry = power == 1 ? tables.stamp[r][c].c1 : tables.stamp[r][c].c0;
        if (sign > 0)
            entry += value;
        else
            entry -= value;
    }
};

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
        DoubleStamp target{tables};
        stamp_element(target, tables, e);
        fp_check();  // a resistor of 0 ohms divides by zero here
        if (host.checked(AnalysisOption::list_stamps)) list_stamp_matrix(tables, host, e.name);
    }
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
