// The engine's tables: elements, nodes, the assembled and the working systems, the
// results and the counts. One instance lives for the whole process; tests make their own.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/limits.h"
#include "engine/polynomial.h"

namespace quorvat {

/// One netlist element, as read. Fields that a kind does not use keep stale contents.
struct ElementRecord {
    char name[name_size];  // first character upper-cased: the element's kind
    double value;         // R ohms, G siemens, E/F gain, H ohms, I/V value, C farads,
                          // L henries, K coupling coefficient
    double second_value;  // C initial voltage, L initial current, K mutual inductance
    int32_t a, b, c, d;   // NodeTable indexes of the node fields; K: indexes of its inductors
    int32_t x;            // first extra-current variable
    int32_t y;            // I, V: source type 'I' (impulse) or 'D' (step); H: second
                          // extra current; K: extra current of the second inductor
    char kind() const { return name[0]; }
};

/// An entry of the assembled system: a first-degree polynomial c0 + c1 s.
struct StampEntry {
    int32_t degree;  // set just before the solution from c1
    double c0;
    double c1;
};

constexpr int matrix_rows = max_variables + 1;     // row 0 belongs to ground
constexpr int matrix_columns = max_variables + 2;  // column n+1 is the right-hand side

using NameSlot = std::array<char, name_slot_size>;

/// The elimination's working matrix, zero from the start, in memory of its own taken
/// zeroed from the system (calloc): the pages are touched only where the elimination
/// works, and a run in exact mode never faults in its 180 KB. Copies are deep.
class WorkingMatrix {
public:
    using Row = Polynomial[matrix_columns];
    WorkingMatrix() : rows_(allocate()) {}
    WorkingMatrix(const WorkingMatrix& other) : rows_(allocate()) {
        std::memcpy(rows_.get(), other.rows_.get(), sizeof(Row) * matrix_rows);
    }
    WorkingMatrix& operator=(const WorkingMatrix& other) {
        if (this != &other) std::memcpy(rows_.get(), other.rows_.get(), sizeof(Row) * matrix_rows);
        return *this;
    }
    Row& operator[](std::size_t r) { return rows_[r]; }
    const Row& operator[](std::size_t r) const { return rows_[r]; }

private:
    struct Free {
        void operator()(Row* p) const { std::free(p); }
    };
    static Row* allocate() {
        auto* p = static_cast<Row*>(std::calloc(matrix_rows, sizeof(Row)));
        if (!p) throw std::bad_alloc();
        return p;
    }
    std::unique_ptr<Row[], Free> rows_;
};

struct EngineTables {
    // Netlist. The element and node tables hold the design's sizes from the start; the
    // exact path, which reads under larger limits, lets them grow with the circuit.
    // No constructor of its own: a value-initialised instance (make_unique, {}) starts
    // with every count, matrix and result zero, as the runs and tests expect.
    std::vector<ElementRecord> elements = std::vector<ElementRecord>(max_elements + 1);  // index 1..element_count
    int32_t element_count;
    std::vector<NameSlot> node_names = std::vector<NameSlot>(max_variables + 1);  // slot 0 "0", nodes, currents
    std::unordered_map<std::string, int32_t> node_index;  // node name -> its slot
    int32_t node_count;      // N: nodes besides ground
    int32_t variable_count;  // n: node names while reading, then every circuit variable
    int32_t node_overflow;   // set when a node name beyond the limit occurs
    CircuitLimits limits = design_limits;  // the limits the netlist was read under
    std::string netlist_path;
    std::string base_name;

    // Systems
    StampEntry stamp[matrix_rows][matrix_columns];
    WorkingMatrix mna;  // the solver's working matrix, "Yn"
    Polynomial quotient[matrix_rows];
    Polynomial remainder[matrix_rows];
    Polynomial product;

    // Results, index 1..variable_count
    ResultPolynomial num[matrix_rows];
    ResultPolynomial den[matrix_rows];
    // The exact solution of the same system, when one was computed, index
    // 1..variable_count, of any degree; results_exact when it is the run's result (num
    // and den then hold a copy where the fixed records can). Variables outside solved
    // have no exact result.
    std::vector<WidePolynomial> exact_num;
    std::vector<WidePolynomial> exact_den;
    bool exact_available = false;
    bool results_exact = false;
    // The variables the run solves and writes, ascending; every one unless the user
    // restricted an exact run to some of them.
    std::vector<int32_t> solved;
    // Variables an exact run is restricted to (1-based); empty: all of them.
    std::vector<int32_t> wanted;
    // Exact results are written as functions of s / frequency_scale (rad/s).
    double frequency_scale = 1.0;

    PolyArithmetic arithmetic;

    /// The name of variable i (0 is ground).
    const char* variable_name(int i) const { return node_names[i].data(); }
    bool fits_fixed_tables() const { return variable_count <= max_variables && element_count <= max_elements; }
    void set_variable_name(int i, const std::string& name) {
        if (static_cast<std::size_t>(i) >= node_names.size()) node_names.resize(static_cast<std::size_t>(i) + 1);
        std::strncpy(node_names[i].data(), name.c_str(), name_slot_size - 1);
        node_names[i][name_slot_size - 1] = '\0';
    }
};

}  // namespace quorvat
