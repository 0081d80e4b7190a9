#include "spice/values.h"

#include <algorithm>
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

    // Conditional, logical and comparison operators, as .if conditions and ternary
    // values write them; a comparison gives 1 or 0.
    bool expression(double& value) {
        if (!logical_or(value)) return false;
        skip();
        if (peek() != '?') return true;
        ++pos_;
        double when_true, when_false;
        if (!expression(when_true)) return false;
        if (!take(':')) return fail("falta ':' depois de '?'");
        if (!expression(when_false)) return false;
        value = value != 0.0 ? when_true : when_false;
        return true;
    }

    bool operator_at(const char* op) {
        skip();
        std::size_t n = std::char_traits<char>::length(op);
        if (text_.substr(pos_, n) != op) return false;
        pos_ += n;
        return true;
    }

    bool logical_or(double& value) {
        if (!logical_and(value)) return false;
        while (operator_at("||")) {
            double right;
            if (!logical_and(right)) return false;
            value = (value != 0.0 || right != 0.0) ? 1.0 : 0.0;
        }
        return true;
    }

    bool logical_and(double& value) {
        if (!comparison(value)) return false;
        while (operator_at("&&")) {
            double right;
            if (!comparison(right)) return false;
            value = (value != 0.0 && right != 0.0) ? 1.0 : 0.0;
        }
        return true;
    }

    bool comparison(double& value) {
        if (!additive(value)) return false;
        for (;;) {
            int op = operator_at("==") ? 0 : operator_at("!=") ? 1 : operator_at("<=") ? 2 : operator_at(">=") ? 3
                     : operator_at("<") ? 4 : operator_at(">") ? 5 : -1;
            if (op < 0) return true;
            double right;
            if (!additive(right)) return false;
            const bool result[] = {value == right, value != right, value <= right,
                                   value >= right, value < right,  value > right};
            value = result[op] ? 1.0 : 0.0;
        }
    }

    bool additive(double& value) {
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
        if (peek() == '!' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '=')) {
            ++pos_;
            if (!unary(value)) return false;
            value = value == 0.0 ? 1.0 : 0.0;
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

    // The whole field a malformed number stands in, for its message.
    std::string field_from(std::size_t start) const {
        std::size_t end = start;
        while (end < text_.size() && (is_name_char(text_[end]) || text_[end] == '.' || micro_sign_at(text_, end)))
            end += micro_sign_at(text_, end) ? micro_sign_at(text_, end) : 1;
        return std::string(text_.substr(start, end - start));
    }

    // The decimal exponent of a scale suffix (word in lower case); false for none.
    static bool scale_of(const std::string& word, long& exponent, double& factor) {
        if (word.rfind("meg", 0) == 0) exponent = 6;
        else if (word.rfind("mil", 0) == 0) exponent = 0, factor = 25.4e-6;
        else if (word.empty()) return false;
        else {
            switch (word[0]) {
                case 't': exponent = 12; break;
                case 'g': exponent = 9; break;
                case 'k': exponent = 3; break;
                case 'm': exponent = -3; break;
                case 'u': exponent = -6; break;
                case 'n': exponent = -9; break;
                case 'p': exponent = -12; break;
                case 'f': exponent = -15; break;
                default: return false;  // a unit such as V or Ohm
            }
        }
        return true;
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
    // are ignored. The resistor-code notation puts the suffix in place of the point:
    // 4K7, 2m5, 2meg5, and R for the units, 4R7. Converted once, correctly rounded, with
    // the suffix folded into the decimal exponent.
    bool number(double& value) {
        std::size_t start = pos_;
        while (is_digit(peek())) ++pos_;
        bool integral = peek() != '.';
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
                integral = false;
            }
        }
        double factor = 1.0;
        long scale = 0;
        std::string word;
        if (std::size_t micro = micro_sign_at(text_, pos_)) {
            scale = -6;
            word = "u";
            pos_ += micro;
        } else {
            while (is_letter(peek())) word += static_cast<char>(text_[pos_++] | 0x20);
            if (!scale_of(word, scale, factor)) scale = 0;
        }
        bool suffix = word == "u" || scale != 0 || factor != 1.0 || word == "r";
        if (integral && suffix && is_digit(peek()) && (word.size() == 1 || word == "meg")) {
            mantissa += '.';
            while (is_digit(peek())) mantissa += text_[pos_++];
            while (is_letter(peek())) ++pos_;  // a unit after the code: 4k7Ohm
        }
        exponent += scale;
        for (std::size_t micro; (micro = micro_sign_at(text_, pos_)) != 0 || is_letter(peek());)
            pos_ += micro ? micro : 1;
        if (is_digit(peek()) || peek() == '.' || peek() == '_')
            return fail("número mal formado: " + field_from(start));
        std::string decimal = mantissa + "e" + std::to_string(exponent);
        auto [ptr, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
        (void)ptr;
        if (error == std::errc::result_out_of_range) {
            // Beyond the doubles on either side: a value read as 0 or as infinity would
            // change the circuit without a word.
            return fail(magnitude(mantissa, exponent) > 0 ? "número fora do alcance (acima de 1.8e308)"
                                                          : "número fora do alcance (abaixo de 4.9e-324, não nulo)");
        } else if (error != std::errc()) {
            return fail("número mal formado: " + field_from(start));
        }
        value *= factor;
        return true;
    }

    bool name(double& value) {
        std::size_t start = pos_;
        while (is_name_char(peek())) ++pos_;
        std::string word = lower(text_.substr(start, pos_ - start));
        skip();
        if (peek() == '(' && (word == "v" || word == "i"))
            return fail("valor que depende de " + word + "(...): elemento não linear");
        if (peek() == '(') {
            ++pos_;
            std::vector<double> args;
            skip();
            if (peek() != ')') {
                do {
                    double argument;
                    if (!expression(argument)) return false;
                    args.push_back(argument);
                } while (take(','));
            }
            if (!take(')')) return fail("parêntese sem par");
            return call(word, args, value);
        }
        if (scope_ && scope_->defines(word)) return scope_->lookup(word, value, error_);
        if (word == "pi") {
            value = std::numbers::pi;
            return true;
        }
        if (scope_) return scope_->lookup(word, value, error_);
        return fail("parâmetro desconhecido: " + word);
    }

    // The functions of the common simulators' expressions, then the deck's own (.func).
    bool call(const std::string& word, const std::vector<double>& args, double& value) {
        using One = double (*)(double);
        static const std::map<std::string, One> one = {
            {"abs", [](double x) { return std::fabs(x); }},   {"exp", [](double x) { return std::exp(x); }},
            {"sin", [](double x) { return std::sin(x); }},    {"cos", [](double x) { return std::cos(x); }},
            {"tan", [](double x) { return std::tan(x); }},    {"atan", [](double x) { return std::atan(x); }},
            {"asin", [](double x) { return std::asin(x); }},  {"acos", [](double x) { return std::acos(x); }},
            {"sinh", [](double x) { return std::sinh(x); }},  {"cosh", [](double x) { return std::cosh(x); }},
            {"tanh", [](double x) { return std::tanh(x); }},  {"floor", [](double x) { return std::floor(x); }},
            {"ceil", [](double x) { return std::ceil(x); }},  {"int", [](double x) { return std::trunc(x); }},
            {"nint", [](double x) { return std::round(x); }}, {"sqr", [](double x) { return x * x; }},
            {"sgn", [](double x) { return double((x > 0.0) - (x < 0.0)); }},
        };
        if (const ParamScope::Function* function = scope_ ? scope_->function(word) : nullptr)
            return user_function(word, *function, args, value);
        auto arity = [&](std::size_t n) {
            return args.size() == n || fail("função " + word + " pede " + std::to_string(n) + " argumento(s)");
        };
        if (auto found = one.find(word); found != one.end()) {
            if (!arity(1)) return false;
            value = found->second(args[0]);
        } else if (word == "sqrt") {
            if (!arity(1)) return false;
            if (args[0] < 0.0) return fail("raiz de número negativo");
            value = std::sqrt(args[0]);
        } else if (word == "ln" || word == "log" || word == "log10") {
            if (!arity(1)) return false;
            if (!(args[0] > 0.0)) return fail("logaritmo de número não positivo");
            value = word == "log10" ? std::log10(args[0]) : std::log(args[0]);
        } else if (word == "pow" || word == "pwr") {
            if (!arity(2)) return false;
            value = word == "pow" ? std::pow(args[0], args[1])
                                  : std::copysign(std::pow(std::fabs(args[0]), args[1]), args[0]);
        } else if (word == "min" || word == "max") {
            if (!arity(2)) return false;
            value = word == "min" ? std::min(args[0], args[1]) : std::max(args[0], args[1]);
        } else if (word == "if" || word == "ternary_fcn") {
            if (!arity(3)) return false;
            value = args[0] != 0.0 ? args[1] : args[2];
        } else {
            return fail("função desconhecida: " + word);
        }
        return std::isfinite(value) || fail("função " + word + " fora do domínio");
    }

    bool user_function(const std::string& word, const ParamScope::Function& function,
                       const std::vector<double>& args, double& value) {
        if (args.size() != function.parameters.size())
            return fail("função " + word + " pede " + std::to_string(function.parameters.size()) + " argumento(s)");
        ParamScope arguments(scope_);
        for (std::size_t i = 0; i < args.size(); ++i) arguments.define_value(function.parameters[i], args[i]);
        // The body nests inside this expression and shares its bound on the depth, so that
        // a function that calls itself ends with a message, not at the end of the stack.
        std::string_view body = function.body;
        if (body.size() >= 2 && body.front() == '\'' && body.back() == '\'') body = body.substr(1, body.size() - 2);
        Evaluator inner(body, &arguments);
        std::string error;
        return inner.run(value, error) || fail(error);
    }

    std::string_view text_;
    const ParamScope* scope_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::string significant(double value, int digits) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    (void)error;
    return std::string(buffer, end);
}

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

void ParamScope::define_function(const std::string& name, Function function) {
    functions_[lower(name)] = std::move(function);
}

const ParamScope::Function* ParamScope::function(const std::string& name) const {
    if (auto found = functions_.find(name); found != functions_.end()) return &found->second;
    return parent_ ? parent_->function(name) : nullptr;
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
