#include "symbolic/nested_formats.h"

#include <memory>

#include "engine/text.h"

namespace quorvat::symbolic {

namespace {

std::string decimal(const fmpz_t value) {
    std::unique_ptr<char, void (*)(void*)> text(fmpz_get_str(nullptr, 10, value), flint_free);
    return text.get();
}

class NestedWriter {
public:
    NestedWriter(SymbolicFormat format, const NestedResult& result) : format_(format), result_(result) {
        const std::vector<std::string> symbols = symbol_names(result.symbols);
        for (const std::string& name : symbols)
            written_.push_back(format == SymbolicFormat::latex ? latex_symbol(name) : name);
        fmpz_init(numerator_);
        fmpz_init(denominator_);
    }
    ~NestedWriter() {
        fmpz_clear(numerator_);
        fmpz_clear(denominator_);
    }
    NestedWriter(const NestedWriter&) = delete;
    NestedWriter& operator=(const NestedWriter&) = delete;

    void set_python_names(std::vector<std::string> names) { written_ = std::move(names); }

    // A node of one product used by one parent is written inside it: no chain of
    // aliases. The others are numbered D1, D2... in order.
    void number_nodes() {
        const MinorGraph& graph = result_.graph;
        // A node that is 1 times another is that other node.
        alias_.resize(graph.nodes.size());
        for (std::size_t i = 0; i < graph.nodes.size(); ++i) {
            alias_[i] = static_cast<int>(i);
            const std::vector<GraphItem>& items = graph.nodes[i].items;
            if (items.size() == 1 && items[0].sign > 0 && items[0].second < 0 && unit(items[0]))
                alias_[i] = alias_[items[0].child];
        }
        std::vector<int> uses(graph.nodes.size(), 0);
        for (std::size_t i = 1; i < graph.nodes.size(); ++i) {
            if (alias_[i] != static_cast<int>(i)) continue;
            for (const GraphItem& item : graph.nodes[i].items) {
                ++uses[alias_[item.child]];
                if (item.second >= 0) ++uses[alias_[item.second]];
            }
        }
        if (graph.determinant >= 0) uses[alias_[graph.determinant]] += 2;
        for (int k : graph.numerators)
            if (k >= 0) uses[alias_[k]] += 2;
        number_.assign(graph.nodes.size(), 0);
        int next = 0;
        for (std::size_t i = 1; i < graph.nodes.size(); ++i) {
            if (alias_[i] != static_cast<int>(i) || uses[i] == 0) continue;
            const bool inline_node = uses[i] == 1 && graph.nodes[i].items.size() == 1;
            number_[i] = inline_node ? -1 : ++next;
            if (!inline_node) shown_.push_back(static_cast<int>(i));
        }
    }
    const std::vector<int>& shown() const { return shown_; }

    std::string node(int i) const {
        i = alias_[i];
        if (i == 0) return "1";
        const std::string n = std::to_string(number_[i]);
        return format_ == SymbolicFormat::latex ? "D_{" + n + "}" : "D" + n;
    }

    // The sum of the items of node i.
    std::string definition(int i) {
        std::string out;
        for (const GraphItem& item : result_.graph.nodes[i].items) {
            bool negative = item.sign < 0;
            std::string text = item_text(item, negative);
            if (out.empty())
                out = (negative ? "-" : "") + text;
            else
                out += (negative ? " - " : " + ") + text;
        }
        return out.empty() ? zero() : out;
    }

    std::string zero() const { return format_ == SymbolicFormat::python ? "Integer(0)" : "0"; }

    std::string times() const { return format_ == SymbolicFormat::latex ? " " : "*"; }

private:
    // |item| without its sign, which goes into negative.
    std::string item_text(const GraphItem& item, bool& negative) {
        std::string factor;
        if (item.row >= 0) {
            const Mpoly& entry =
                item.column == result_.system.n ? result_.system.b[item.row] : result_.system.at(item.row, item.column);
            factor = entry_text(entry, result_.system.row_scale[item.row].get(), negative);
        }
        std::string children;
        for (int child : {item.child, item.second}) {
            if (child <= 0) continue;
            std::string text = node_or_product(child, negative);
            if (text != "1") children += (children.empty() ? "" : times()) + text;
        }
        if (children.empty()) return factor.empty() ? number("1", "1") : factor;
        if (factor.empty() || factor == "1" || factor == "Integer(1)") return children;
        return factor + times() + children;
    }

    std::string node_or_product(int child, bool& negative) {
        child = alias_[child];
        if (child == 0 || number_[child] >= 0) return node(child);
        const GraphItem& item = result_.graph.nodes[child].items[0];
        if (item.sign < 0) negative = !negative;
        return item_text(item, negative);
    }

    // Whether the item's factor is the number 1.
    bool unit(const GraphItem& item) const {
        if (item.row < 0) return true;
        const Mpoly& entry =
            item.column == result_.system.n ? result_.system.b[item.row] : result_.system.at(item.row, item.column);
        if (entry.length() != 1 || !fmpz_mpoly_is_fmpz(entry.get(), entry.ctx())) return false;
        fmpz_t c;
        fmpz_init(c);
        fmpz_mpoly_get_term_coeff_fmpz(c, entry.get(), 0, entry.ctx());
        const bool one = fmpz_equal(c, fmpq_numref(result_.system.row_scale[item.row].get()));
        fmpz_clear(c);
        return one;
    }

    // The entry divided by the row's scale; a single term's sign is folded into negative.
    std::string entry_text(const Mpoly& entry, const fmpq* scale, bool& negative) {
        const fmpz_mpoly_ctx_struct* ctx = entry.ctx();
        std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
        std::string sum;
        bool first_negative = false;
        for (slong t = 0; t < entry.length(); ++t) {
            fmpz_mpoly_get_term_exp_ui(exponents.data(), entry.get(), t, ctx);
            fmpz_mpoly_get_term_coeff_fmpz(numerator_, entry.get(), t, ctx);
            const bool term_negative = fmpz_sgn(numerator_) < 0;
            fmpz_abs(numerator_, numerator_);
            fmpz_set(denominator_, fmpq_numref(scale));
            fmpz_t common;
            fmpz_init(common);
            fmpz_gcd(common, numerator_, denominator_);
            fmpz_divexact(numerator_, numerator_, common);
            fmpz_divexact(denominator_, denominator_, common);
            fmpz_clear(common);
            std::string text = term_text(exponents);
            if (t == 0) {
                first_negative = term_negative;
                sum = text;
            } else {
                sum += (term_negative ? " - " : " + ") + text;
            }
        }
        if (entry.length() == 1) {
            negative = negative != first_negative;
            return sum;
        }
        if (first_negative) sum = "-" + sum;
        return format_ == SymbolicFormat::latex ? "\\left(" + sum + "\\right)" : "(" + sum + ")";
    }

    // numerator_ / denominator_ times the term's symbols and power of s; a resistor's
    // symbol (a conductance here) is written as its resistance below the line.
    std::string term_text(const std::vector<ulong>& exponents) {
        std::vector<std::string> top, bottom;
        const std::string n = decimal(numerator_), d = decimal(denominator_);
        bool has_symbols = exponents[0] != 0;
        for (std::size_t i = 1; i < exponents.size(); ++i) has_symbols = has_symbols || exponents[i] != 0;
        if (format_ == SymbolicFormat::python && d != "1") {
            top.push_back("Rational(" + n + ", " + d + ")");
        } else {
            if (n != "1" || !has_symbols) top.push_back(format_ == SymbolicFormat::python && !has_symbols ? number(n, "1") : n);
            if (d != "1") bottom.push_back(d);
        }
        for (std::size_t i = 1; i < exponents.size(); ++i) {
            if (exponents[i] == 0) continue;
            const std::string power = power_text(written_[i - 1], exponents[i]);
            (result_.symbols.symbols[i - 1].resistance ? bottom : top).push_back(power);
        }
        if (exponents[0] != 0) top.push_back(power_text("s", exponents[0]));
        if (top.empty()) top.push_back("1");
        const std::string joint = format_ == SymbolicFormat::latex ? " " : "*";
        std::string upper = top[0], lower;
        for (std::size_t i = 1; i < top.size(); ++i) upper += joint + top[i];
        if (bottom.empty()) return upper;
        lower = bottom[0];
        for (std::size_t i = 1; i < bottom.size(); ++i) lower += joint + bottom[i];
        if (format_ == SymbolicFormat::latex) return "\\frac{" + upper + "}{" + lower + "}";
        return upper + "/" + (bottom.size() > 1 ? "(" + lower + ")" : lower);
    }

    std::string power_text(const std::string& base, ulong exponent) const {
        if (exponent == 1) return base;
        const std::string e = std::to_string(exponent);
        return base + (format_ == SymbolicFormat::latex ? "^{" + e + "}" : format_ == SymbolicFormat::python ? "**" + e : "^" + e);
    }

    std::string number(const std::string& n, const std::string& d) const {
        if (format_ == SymbolicFormat::python) return d == "1" ? "Integer(" + n + ")" : "Rational(" + n + ", " + d + ")";
        if (d == "1") return n;
        return format_ == SymbolicFormat::latex ? "\\frac{" + n + "}{" + d + "}" : n + "/" + d;
    }

    SymbolicFormat format_;
    const NestedResult& result_;
    std::vector<std::string> written_;
    std::vector<int> alias_;   // by node: the node it equals (itself, or the child it is 1 times)
    std::vector<int> number_;  // by node: its number in the text, -1 when written inside its parent
    std::vector<int> shown_;
    fmpz_t numerator_, denominator_;
};

std::string label(int variable, const std::vector<std::string>& names, int node_count) {
    return (variable > node_count ? "I(" : "V(") + to_utf8(names[variable]) + ")";
}

}  // namespace

void write_nested(std::ostream& out, SymbolicFormat format, const NestedResult& result,
                  const std::vector<std::string>& names, int node_count) {
    NestedWriter writer(format, result);
    const MinorGraph& graph = result.graph;
    const std::vector<std::string> symbols = symbol_names(result.symbols);
    writer.number_nodes();
    const std::string summary = std::to_string(writer.shown().size()) + " (" +
                                std::to_string(graph.nodes.size() - 1) + " menores do sistema, " +
                                std::to_string(graph.item_count()) + " produtos)";
    if (format == SymbolicFormat::python) {
        writer.set_python_names(write_python_header(out, symbols));
        out << "# Subexpressões: " << summary << "\n";
    } else if (format == SymbolicFormat::latex) {
        out << "% Subexpressões: " << summary << "\n";
    } else {
        out << "Símbolos:";
        if (symbols.empty()) out << " nenhum";
        for (const std::string& name : symbols) out << " " << name;
        out << "\nSubexpressões: " << summary << "\n";
    }
    const std::string indent = format == SymbolicFormat::text ? "  " : "";
    for (int i : writer.shown()) out << indent << writer.node(i) << " = " << writer.definition(i) << "\n";

    const std::string determinant = graph.determinant >= 0 ? writer.node(graph.determinant) : writer.zero();
    std::string labels;
    for (std::size_t i = 0; i < result.variables.size(); ++i) {
        const int k = result.variables[i];
        const int node = graph.numerators[static_cast<std::size_t>(k) - 1];
        const std::string numerator = node >= 0 ? writer.node(node) : writer.zero();
        if (format == SymbolicFormat::python) {
            out << "X" << k << " = " << numerator << "/(s*" << determinant << ")\n";
            labels += (i ? ", " : "") + std::to_string(k) + ": " + quoted(to_utf8(names[k]));
        } else if (format == SymbolicFormat::latex) {
            out << "% " << label(k, names, node_count) << ", variável " << k << "\n"
                << (k > node_count ? "I" : "V") << "_{" << subscript(to_utf8(names[k])) << "}(s) = \\frac{" << numerator
                << "}{s " << determinant << "}\n";
        } else {
            out << "\n" << label(k, names, node_count) << " = N(s)/D(s)   (variável " << k << ")\n"
                << "  N(s) = " << numerator << "\n  D(s) = s*" << determinant << "\n";
        }
    }
    if (format == SymbolicFormat::python) out << "nomes = {" << labels << "}\n";
}

}  // namespace quorvat::symbolic
