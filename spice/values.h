// SPICE values: decimal numbers with scale suffixes, and expressions over parameters
// (".param", "{...}", subcircuit parameters).
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

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

    /// The value of name, from this scope or an enclosing one. False with error set when
    /// it is unknown or its expression fails (a definition that refers to itself too).
    bool lookup(const std::string& name, double& value, std::string& error) const;

private:
    const ParamScope* parent_;
    std::map<std::string, std::string> expressions_;
    mutable std::map<std::string, double> values_;
    mutable std::set<std::string> evaluating_;
};

/// Evaluates a value as written in a deck: "4.7k", "10uF", "1MEG", "{2*rval}", "'a+b'",
/// "rval/2". Numbers take an optional scale suffix (T G MEG K M U N P F MIL, any case,
/// M milli and MEG mega, µ micro) and ignore the letters after it. Arithmetic: + - * /,
/// ^ or ** for powers, parentheses, sqrt() and abs(), the constant pi. False with a
/// Portuguese error when the text is no value or the result is not finite.
bool evaluate(std::string_view text, const ParamScope* scope, double& value, std::string& error);

/// Lower-case copy (ASCII letters only): SPICE names are case-insensitive.
std::string lower(std::string_view text);

}  // namespace quorvat::spice
