// SPICE values: decimal numbers with scale suffixes, and expressions over parameters
// (".param", "{...}", subcircuit parameters).
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvat::spice {

/// The parameters visible at one place of the deck: its own definitions, then those of
/// the enclosing scope. Definitions are expressions evaluated when first used.
class ParamScope {
public:
    explicit ParamScope(const ParamScope* parent = nullptr) : parent_(parent) {}

    /// Defines name (case-insensitive) as expression, replacing an earlier definition.
    void define(const std::string& name, const std::string& expression);
    /// Defines name as a value already known.
    void define_value(const std::string& name, double value);
    bool defines(const std::string& name) const;

    /// A user function (.func): its parameter names and the expression of its body.
    struct Function {
        std::vector<std::string> parameters;
        std::string body;
    };
    void define_function(const std::string& name, Function function);
    /// The function of that lower-case name, here or in an enclosing scope; null if none.
    const Function* function(const std::string& name) const;

    /// The value of name, from this scope or an enclosing one. False with error set when
    /// it is unknown or its expression fails (a definition that refers to itself too).
    bool lookup(const std::string& name, double& value, std::string& error) const;

private:
    const ParamScope* parent_;
    std::map<std::string, std::string> expressions_;
    mutable std::map<std::string, double> values_;
    mutable std::set<std::string> evaluating_;
    std::map<std::string, Function> functions_;
};

/// Evaluates a value as written in a deck: "4.7k", "10uF", "1MEG", "{2*rval}", "'a+b'",
/// "rval/2". Numbers take an optional scale suffix (T G MEG K M U N P F MIL, any case,
/// M milli and MEG mega, µ micro) and ignore the letters after it; the resistor code 4K7,
/// 4R7, 2m5 reads the suffix as the point. Arithmetic: + - * /, ^ or ** for powers,
/// comparisons, && || ! and ?: (true is 1), parentheses, the usual functions of one
/// argument, pow, min, max, the deck's .func functions, the constant pi. False
/// with a Portuguese error when the text is no value or the result is not finite.
bool evaluate(std::string_view text, const ParamScope* scope, double& value, std::string& error);

/// Lower-case copy (ASCII letters only): SPICE names are case-insensitive.
std::string lower(std::string_view text);

/// value with up to digits significant digits, a point for the decimals whatever the
/// locale (the windows set the user's).
std::string significant(double value, int digits);

}  // namespace quorvat::spice
