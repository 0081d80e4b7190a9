#include "symbolic/symbols.h"

#include <cstring>

namespace quorvat::symbolic {

bool has_value(char kind) { return std::strchr("RGCLKEFHIV", kind) != nullptr && kind != '\0'; }

namespace {

bool chosen(const SymbolChoice& choice, const std::string& name) {
    switch (choice.mode) {
        case SymbolChoice::Mode::only_listed:
            return choice.names.count(name) != 0;
        case SymbolChoice::Mode::all_but_listed:
            return choice.names.count(name) == 0;
        case SymbolChoice::Mode::all:
            break;
    }
    return true;
}

}  // namespace

SymbolTable choose_symbols(const EngineTables& tables, const SymbolChoice& choice) {
    SymbolTable table;
    table.element_symbol.assign(static_cast<std::size_t>(tables.element_count) + 1, -1);
    std::set<std::string> used;
    for (int j = 1; j <= tables.element_count; ++j) {
        const ElementRecord& e = tables.elements[j];
        const std::string stored = e.name;
        if (!has_value(e.kind()) || !chosen(choice, stored)) continue;
        std::string name = e.kind() == 'K' ? "M_" + stored : stored;
        for (int copy = 2; used.count(name) != 0; ++copy)
            name = (e.kind() == 'K' ? "M_" + stored : stored) + "_" + std::to_string(copy);
        used.insert(name);
        table.element_symbol[j] = static_cast<int>(table.symbols.size());
        table.symbols.push_back({name, e.kind() == 'K' ? e.second_value : e.value, e.kind() == 'R'});
    }
    return table;
}

std::vector<std::string> unknown_names(const EngineTables& tables, const SymbolChoice& choice) {
    std::vector<std::string> unknown;
    for (const std::string& name : choice.names) {
        bool found = false;
        for (int j = 1; j <= tables.element_count && !found; ++j)
            found = has_value(tables.elements[j].kind()) && name == tables.elements[j].name;
        if (!found) unknown.push_back(name);
    }
    return unknown;
}

}  // namespace quorvat::symbolic
