// A deck split into statements: the top level, the subcircuit definitions and the
// parameters, with the dot commands that do not describe the circuit set aside.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "spice/deck_lines.h"

namespace quorvat::spice {

/// One element line in words. Parenthesised, braced and quoted groups stay one word;
/// "name = value" and its spaced forms become the one word "name=value".
struct Statement {
    Origin origin;
    std::vector<std::string> words;
};

using Assignments = std::vector<std::pair<std::string, std::string>>;  // name, expression

struct Subcircuit {
    std::string name;
    Origin origin;
    std::vector<std::string> pins;
    Assignments defaults;  // "params:" of the definition
    Assignments params;    // .param lines inside it
    std::vector<Statement> body;
};

/// A .model card: its type word in lower case ("r", "res", "d", ...) and parameters.
struct Model {
    std::string type;
    Assignments params;
    Origin origin;
};

/// A .func definition: name(parameters) body.
struct FunctionDefinition {
    std::string name;
    std::vector<std::string> parameters;
    std::string body;
};

struct Deck {
    std::string title;
    std::vector<Statement> top;
    Assignments params;
    std::map<std::string, Subcircuit> subcircuits;  // by lower-case name
    std::map<std::string, Model> models;            // by lower-case name
    std::vector<FunctionDefinition> functions;
    std::set<std::string> globals;                  // .global node names, lower case
    bool ac_analysis = false;                       // a .ac line: the deck asks for an AC analysis
    std::string temperature;                        // .temp or .options temp=, "" for 27 °C
    std::string nominal_temperature;                // .options tnom=, "" for 27 °C
};

/// Whether the deck's first word names a device that needs an operating point: D, Q, M, J.
bool is_device(const std::string& first_word);

std::vector<std::string> split_words(std::string_view text);

/// "a=1 b={a*2} c = 3 * a" from words[first] on: each word holding "=" starts an
/// assignment and the words without one continue its expression. Words before the first
/// assignment are returned in loose.
Assignments assignments(const std::vector<std::string>& words, std::size_t first, std::vector<std::string>* loose = nullptr);

void parse_deck(const DeckSource& source, Deck& deck, Diagnostics& diagnostics);

}  // namespace quorvat::spice
