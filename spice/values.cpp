#include "spice/values.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace quorvat::spice {

namespace {

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }
bool is_letter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }
bool is_name_char(char ch) { return is_letter(ch) || is_digit(ch) || ch == '_'; }

// Bytes of the micro sign at text[pos]: U+00B5 and U+03BC in UTF-8, or the lone
// Windows-1252 byte 0xB5; 0 when there is none.
std::size_t micro_sign_at(std::string_view text, std::size_t pos) {
    auto byte = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    if ((byte(pos) == 0xC2 && byte(pos + 1) == 0xB5) || (byte(pos) == 0xCE && byte(pos + 1) == 0xBC)) return 2;
    if (byte(pos) == 0xB5) return 1;
    return 0;
}

// Nested levels of the expressions being evaluated on this thread: a parameter's
// expression is evaluated inside the one that refers to it.
constexpr int max_nesting = 1000;
// Exponents are clamped here while read: a deck of at most 16 MiB cannot bring a number
// this far back with its digits.
constexpr long max_exponent = 1000000000L;
thread_local int nesting = 0;

// The recursive-descent evaluator of one value or expression.
class Evaluator {
public:
    Evaluator(std::string_view text, const ParamScope* scope) : text_(text), scope_(scope) {}

    bool run(double& value, std::string& error) {
        bool ok = expression(value) && (skip(), pos_ == text_.size() || fail("texto a mais"));
        if (ok && !std::isfinite(value)) ok = fail("resultado não finito");
        if (!ok) error = error_;
        return ok;
    }

private:
    bool fail(const std::string& message) {
        if (error_.empty()) error_ = message;
        return false;
    }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void skip() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    bool take(char ch) {
        skip();
        if (peek() != ch) return false;
        ++pos_;
        return true;
    }

    bool expression(double& value) {
        if (!term(value)) return false;
        for (;;) {
            skip();
            char op = peek();
            if (op != '+' && op != '-') return true;
            ++pos_;
            double right;
            if (!term(right)) return false;
            value = op == '+' ? value + right : value - right;
        }
    }

    bool term(double& value) {
        if (!power(value)) return false;
        for (;;) {
            skip();
            char op = peek();
            if ((op != '*' && op != '/') || (op == '*' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*'))
                return true;
            ++pos_;
            double right;
            if (!power(right)) return false;
            if (op == '/' && right == 0.0) return fail("divisão por zero");
            value = op == '*' ? value * right : value / right;
        }
    }

    // a ^ b ^ c is a ^ (b ^ c): the operands are read in a loop and folded from the right,
    // so that a long chain costs no stack.
    bool power(double& value) {
        if (!unary(value)) return false;
        std::vector<double> operands;
        for (;;) {
            skip();
            bool caret = peek() == '^';
            bool stars = peek() == '*' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*';
            if (!caret && !stars) break;
            pos_ += caret ? 1 : 2;
            if (operands.empty()) operands.push_back(value);
            operands.push_back(0.0);
            if (!unary(operands.back())) return false;
        }
        if (operands.empty()) return true;
        value = operands.back();
        for (std::size_t i = operands.size() - 1; i-- > 0;) value = std::pow(operands[i], value);
        return true;
    }

    // Every nested level passes here, those of the parameters it refers to included: the
    // bound is on the whole chain, which keeps a hostile deck off the stack's end.
    bool unary(double& value) {
        if (++nesting > max_nesting) {
            --nesting;
            return fail("expressão aninhada demais (mais de " + std::to_string(max_nesting) +
                        " níveis, contando os parâmetros a que se refere)");
        }
        bool ok = signed_primary(value);
        --nesting;
        return ok;
    }

    bool signed_primary(double& value) {
        skip();
        if (peek() == '-' || peek() == '+') {
            bool negative = text_[pos_++] == '-';
            if (!unary(value)) return false;
            if (negative) value = -value;
            return true;
        }
        return primary(value);
    }

    bool primary(double& value) {
        skip();
        char ch = peek();
        if (ch == '(' || ch == '{') {
            ++pos_;
            if (!expression(value)) return false;
            return take(ch == '(' ? ')' : '}') || fail("parêntese sem par");
        }
        if (is_digit(ch) || (ch == '.' && pos_ + 1 < text_.size() && is_digit(text_[pos_ + 1]))) return number(value);
        if (is_letter(ch) || ch == '_') return name(value);
        return fail(ch == '\0' ? "valor ausente" : std::string("caractere inesperado '") + ch + "'");
    }

    // The power of ten of the leading digit of mantissa (digits and an optional point,
    // not all zeros) times 10^exponent.
    static long magnitude(const std::string& mantissa, long exponent) {
        std::size_t point = mantissa.find('.');
        if (point == std::string::npos) point = mantissa.size();
        std::size_t first = mantissa.find_first_of("123456789");
        long position = first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
        return exponent + position;
    }

    // Digits, optional point, optional exponent, optional scale suffix, then letters that
    // are ignored. Converted once, correctly rounded, with the suffix folded into the
    // decimal exponent.
    bool number(double& value) {
        std::size_t start = pos_;
        while (is_digit(peek())) ++pos_;
        if (peek() == '.') {
            ++pos_;
            while (is_digit(peek())) ++pos_;
        }
        std::string mantissa(text_.substr(start, pos_ - start));
        long exponent = 0;
        if (peek() == 'e' || peek() == 'E') {
            std::size_t k = pos_ + 1;
            bool negative = false;
            if (k < text_.size() && (text_[k] == '+' || text_[k] == '-')) negative = text_[k++] == '-';
            if (k < text_.size() && is_digit(text_[k])) {
                while (k < text_.size() && is_digit(text_[k])) exponent = std::min(exponent * 10 + (text_[k++] - '0'), max_exponent);
                if (negative) exponent = -exponent;
                pos_ = k;
            }
        }
        double factor = 1.0;
        if (std::size_t micro = micro_sign_at(text_, pos_)) {
            exponent -= 6;
            pos_ += micro;
        } else {
            std::string word;
            while (is_letter(peek())) word += static_cast<char>(text_[pos_++] | 0x20);
            if (word.rfind("meg", 0) == 0) exponent += 6;
            else if (word.rfind("mil", 0) == 0) factor = 25.4e-6;
            else if (!word.empty()) {
                switch (word[0]) {
                    case 't': exponent += 12; break;
                    case 'g': exponent += 9; break;
                    case 'k': exponent += 3; break;
                    case 'm': exponent -= 3; break;
                    case 'u': exponent -= 6; break;
                    case 'n': exponent -= 9; break;
                    case 'p': exponent -= 12; break;
                    case 'f': exponent -= 15; break;
                    default: break;  // a unit such as V or Ohm
                }
            }
        }
        for (std::size_t micro; (micro = micro_sign_at(text_, pos_)) != 0 || is_letter(peek());)
            pos_ += micro ? micro : 1;
        // "1k5" or "2u2": a digit right after the letters is no SPICE number.
        if (is_digit(peek()) || peek() == '.' || peek() == '_')
            return fail("número mal formado: " + std::string(text_.substr(start, pos_ + 1 - start)));
        std::string decimal = mantissa + "e" + std::to_string(exponent);
        auto [ptr, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
        (void)ptr;
        if (error == std::errc::result_out_of_range) {
            // Beyond the doubles on either side: a value read as 0 or as infinity would
            // change the circuit without a word.
            return fail(magnitude(mantissa, exponent) > 0 ? "número fora do alcance (acima de 1.8e308)"
                                                          : "número fora do alcance (abaixo de 4.9e-324, não nulo)");
        } else if (error != std::errc()) {
            return fail("número mal formado");
        }
        value *= factor;
        return true;
    }

    bool name(double& value) {
        std::size_t start = pos_;
        while (is_name_char(peek())) ++pos_;
        std::string word = lower(text_.substr(start, pos_ - start));
        skip();
        if (peek() == '(') {
            ++pos_;
            double argument;
            if (!expression(argument)) return false;
            if (!take(')')) return fail("parêntese sem par");
            if (word == "sqrt") {
                if (argument < 0.0) return fail("raiz de número negativo");
                value = std::sqrt(argument);
            } else if (word == "abs") {
                value = std::fabs(argument);
            } else {
                return fail("função desconhecida: " + word);
            }
            return true;
        }
        if (scope_ && scope_->defines(word)) return scope_->lookup(word, value, error_);
        if (word == "pi") {
            value = std::numbers::pi;
            return true;
        }
        if (scope_) return scope_->lookup(word, value, error_);
        return fail("parâmetro desconhecido: " + word);
    }

    std::string_view text_;
    const ParamScope* scope_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

void ParamScope::define(const std::string& name, const std::string& expression) {
    std::string key = lower(name);
    expressions_[key] = expression;
    values_.erase(key);
}

void ParamScope::define_value(const std::string& name, double value) {
    std::string key = lower(name);
    expressions_.erase(key);
    values_[key] = value;
}

bool ParamScope::defines(const std::string& name) const {
    std::string key = lower(name);
    if (values_.count(key) || expressions_.count(key)) return true;
    return parent_ && parent_->defines(key);
}

bool ParamScope::lookup(const std::string& name, double& value, std::string& error) const {
    std::string key = lower(name);
    if (auto known = values_.find(key); known != values_.end()) {
        value = known->second;
        return true;
    }
    auto definition = expressions_.find(key);
    if (definition == expressions_.end()) {
        if (parent_) return parent_->lookup(key, value, error);
        error = "parâmetro desconhecido: " + key;
        return false;
    }
    if (evaluating_.size() >= 200) {
        error = "parâmetros encadeados demais: " + key;
        return false;
    }
    if (!evaluating_.insert(key).second) {
        error = "parâmetro definido por si mesmo: " + key;
        return false;
    }
    // A parameter's expression sees the whole scope, its own later definitions included.
    bool ok = evaluate(definition->second, this, value, error);
    evaluating_.erase(key);
    if (ok) values_[key] = value;
    else error = key + ": " + error;
    return ok;
}

bool evaluate(std::string_view text, const ParamScope* scope, double& value, std::string& error) {
    // Quotes around the whole value only delimit it; braces group like parentheses.
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') text = text.substr(1, text.size() - 2);
    Evaluator evaluator(text, scope);
    return evaluator.run(value, error);
}

}  // namespace quorvat::spice
