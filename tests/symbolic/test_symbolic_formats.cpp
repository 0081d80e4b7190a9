// The LaTeX and Python forms read back: the LaTeX evaluated by a small reader of its
// grammar, the Python run by sympy (when installed) against the JSON term lists.
#include <cctype>
#include <complex>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "engine/scanner.h"

#include "exact/exact_solver.h"
#include "symbolic/formats.h"
#include "symbolic/symbolic_solver.h"
#include "symbolic_testing.h"

namespace quorvat {
namespace {

using Complex = std::complex<double>;

// Elements whose names need subscripts with letters, a coupling, an initial condition
// (a fractional coefficient) and a name that is no Python identifier.
const char* const named_circuit =
    "nomes\nV1 in 0 1 IMPULSO\nR1 in a 2\nCpi3 a 0 0.5 IC=0.25\nL1 a 0 3\nL2 b 0 5\nK1 L1 L2 0.5\n"
    "RL b 0 7\nRx-1 b 0 9\n";

// Reads "X(s) = \frac{N}{D}" as written and evaluates it.
class LatexReader {
public:
    LatexReader(const std::string& text, const std::map<std::string, double>& values, Complex s)
        : t_(text), values_(values), s_(s) {}
    Complex equation() {
        pos_ = t_.find(" = ") + 3;
        Complex value = factor();
        skip();
        EXPECT_EQ(pos_, t_.size()) << t_.substr(pos_);
        return value;
    }
    std::set<std::string> symbols;

private:
    bool next(const std::string& word) {
        skip();
        if (t_.compare(pos_, word.size(), word) != 0) return false;
        pos_ += word.size();
        return true;
    }
    void skip() {
        while (pos_ < t_.size() && t_[pos_] == ' ') ++pos_;
    }
    std::string braced() {  // {…} with nested braces, the braces left out
        EXPECT_EQ(t_[pos_], '{');
        std::size_t start = ++pos_;
        for (int depth = 1; depth > 0 && pos_ < t_.size(); ++pos_) depth += t_[pos_] == '{' ? 1 : t_[pos_] == '}' ? -1 : 0;
        return t_.substr(start, pos_ - start - 1);
    }
    Complex power(Complex base) { return next("^") ? std::pow(base, std::stoi(braced())) : base; }
    Complex sum() {
        Complex total = next("-") ? -product() : product();
        while (true) {
            if (next("+")) total += product();
            else if (next("-")) total -= product();
            else return total;
        }
    }
    Complex product() {
        Complex value = factor();
        for (skip(); pos_ < t_.size() && std::string("+-}").find(t_[pos_]) == std::string::npos &&
                     t_.compare(pos_, 7, "\\right)") != 0;
             skip())
            value *= factor();
        return value;
    }
    Complex factor() {
        skip();
        if (next("\\frac")) {
            std::string top = braced(), bottom = braced();
            return LatexReader(top, values_, s_).whole(symbols) / LatexReader(bottom, values_, s_).whole(symbols);
        }
        if (next("\\left(")) {
            Complex inner = sum();
            EXPECT_TRUE(next("\\right)"));
            return power(inner);
        }
        if (std::isdigit(static_cast<unsigned char>(t_[pos_]))) {
            std::size_t end = std::min(t_.find_first_not_of("0123456789", pos_), t_.size());
            double number = lenient_to_double(t_.substr(pos_, end - pos_));
            pos_ = end;
            return number;
        }
        if (next("s")) return power(s_);
        std::string name(1, t_[pos_++]);
        if (t_[pos_] == '_') {
            ++pos_;
            name += "_{" + braced() + "}";
        }
        symbols.insert(name);
        EXPECT_EQ(values_.count(name), 1u) << name;
        return power(values_.count(name) ? values_.at(name) : 0.0);
    }
    Complex whole(std::set<std::string>& seen) {
        Complex value = sum();
        skip();
        EXPECT_EQ(pos_, t_.size()) << t_.substr(pos_);
        seen.insert(symbols.begin(), symbols.end());
        return value;
    }

    std::string t_;
    const std::map<std::string, double>& values_;
    Complex s_;
    std::size_t pos_ = 0;
};

Complex evaluate(const exact::IntPoly& p, Complex s) {
    Complex value = 0;
    for (long i = p.degree(); i >= 0; --i) value = value * s + fmpz_get_d(fmpz_poly_get_coeff_ptr(p.get(), i));
    return value;
}

TEST(SymbolicFormats, LatexReadsBackAsTheExactFunction) {
    auto tables = testing::read_tables(named_circuit);
    std::vector<int> all;
    for (int k = 1; k <= tables->variable_count; ++k) all.push_back(k);
    symbolic::SymbolicResult result = symbolic::solve_symbolic(*tables, {}, all);
    exact::ExactSolution exact = exact::solve_exact(*tables);
    std::vector<std::string> names;
    for (int i = 0; i <= tables->variable_count; ++i) names.emplace_back(tables->variable_name(i));
    std::ostringstream stream;
    symbolic::write_functions(stream, symbolic::SymbolicFormat::latex, result, names, tables->node_count);
    const std::string latex = stream.str();

    const std::map<std::string, double> values = {
        {"V_{1}", 1}, {"R_{1}", 2}, {"C_{\\mathrm{pi}3}", 0.5}, {"L_{1}", 3}, {"L_{2}", 5},
        {"M_{\\mathrm{K}1}", tables->elements[6].second_value}, {"R_{\\mathrm{L}}", 7}, {"R_{\\mathrm{x}-1}", 9}};
    const Complex s(0.3, 0.7);
    std::set<std::string> seen;
    std::regex equation(R"(([VI])_\{(.*)\}\(s\) = .*)");
    int k = 0;
    std::istringstream lines(latex);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("% ", 0) == 0) continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, equation)) << line;
        ++k;
        SCOPED_TRACE(line);
        EXPECT_EQ(m[1], k <= tables->node_count ? "V" : "I");
        LatexReader reader(line, values, s);
        Complex written = reader.equation();
        seen.insert(reader.symbols.begin(), reader.symbols.end());
        const exact::RationalFunction& f = exact.variables[k - 1];
        Complex expected = evaluate(f.numerator, s) / evaluate(f.denominator, s);
        EXPECT_LT(std::abs(written - expected), 1e-9 * std::max(1.0, std::abs(expected)));
    }
    EXPECT_EQ(k, tables->variable_count);
    EXPECT_EQ(seen.size(), values.size());
    EXPECT_NE(latex.find("V_{\\mathrm{in}}(s) = \\frac{V_{1}}{1}"), std::string::npos) << latex;
    EXPECT_NE(latex.find("\\frac{1}{4}"), std::string::npos) << latex;  // the initial voltage
}

TEST(SymbolicFormats, PythonTextsFlatAndNestedRunWithSympyAndMatchTheTermLists) {
    testing::ScratchDir dir;
    struct Input {
        std::string name, netlist, variables;
    } inputs[] = {{"nomes", named_circuit, "1,2,3,4,5,6"},
                  {"escada", testing::read_file(testing::source_path("examples/escada_rc10.net")), "1,2,11,12"}};
    std::string script =
        "import json, sys\nfrom fractions import Fraction\nfrom sympy import Rational\n"
        "for base in sys.argv[1:]:\n"
        "    space = {}\n"
        "    exec(open(base + '.py').read(), space)\n"
        "    data = json.load(open(base + '.json'))\n"
        "    names = data['simbolos']\n"
        "    point = [Fraction(i + 2, 2 * i + 3) for i in range(len(names))]\n"
        "    s = Fraction(3, 7)\n"
        "    def value(poly):\n"
        "        total = Fraction(0)\n"
        "        for group in poly:\n"
        "            for t in group['termos']:\n"
        "                v = Fraction(t['coeficiente']) * s ** group['potencia']\n"
        "                for x, e in zip(point, t['expoentes']):\n"
        "                    if e: v *= x if e == 1 else x ** e\n"
        "                total += v\n"
        "        return total\n"
        "    symbols = {space['s']: Rational(3, 7)}\n"
        "    for name, x in zip(names, point):\n"
        "        symbols[next(v for v in space.values() if getattr(v, 'name', None) == name)] = "
        "Rational(x.numerator, x.denominator)\n"
        "    for v in data['variaveis']:\n"
        "        k = v['indice']\n"
        "        assert space['nomes'][k] == v['nome'], k\n"
        "        got = space['X%d' % k].xreplace(symbols)\n"
        "        want = value(v['numerador']) / value(v['denominador'])\n"
        "        assert got == Rational(want.numerator, want.denominator), (base, k, got, want)\n"
        "        nested = {}\n"
        "        exec(open(base + '_aninhado.py').read(), nested)\n"
        "        renamed = {next(x for x in nested.values() if getattr(x, 'name', None) == getattr(key, 'name')): val\n"
        "                 for key, val in symbols.items()}\n"
        "        assert nested['X%d' % k].xreplace(renamed) == got, (base, k)\n"
        "print('ok')\n";
    std::string arguments;
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        testing::CommandRun python = testing::run_symbolic({"--formato", "python", "--variaveis", input.variables}, input.netlist);
        testing::CommandRun json = testing::run_symbolic({"--formato", "json", "--variaveis", input.variables}, input.netlist);
        ASSERT_EQ(python.status, 0) << python.err;
        ASSERT_EQ(json.status, 0) << json.err;
        EXPECT_EQ(python.err, "verificado\n");
        // The shape: the imports, every symbol declared under its own name where it is an
        // identifier, rationals exact, one X<k> per variable and the names.
        EXPECT_EQ(python.out.rfind("from sympy import Integer, Rational, Symbol, symbols\ns, V1, R1, ", 0), 0u) << python.out;
        EXPECT_FALSE(std::regex_search(python.out, std::regex(R"([0-9.]\s*/\s*[0-9.(])"))) << python.out;
        EXPECT_TRUE(std::regex_search(python.out, std::regex(R"(\nX1 = \(.*\)/\(.*\)\n)")));
        EXPECT_TRUE(std::regex_search(python.out, std::regex(R"(\nnomes = \{1: 'in', 2: .*\}\n$)")));
        if (input.name == "nomes") {
            EXPECT_NE(python.out.find("\nRx_1 = Symbol('Rx-1')\n"), std::string::npos) << python.out;
            EXPECT_NE(python.out.find("Rational(1, 4)"), std::string::npos);
        }
        // The nested form of the same variables, checked in sympy at the same point.
        testing::CommandRun nested =
            testing::run_symbolic({"--aninhado", "--formato", "python", "--variaveis", input.variables}, input.netlist);
        ASSERT_EQ(nested.status, 0) << nested.err;
        testing::write_file(dir.file(input.name + "_aninhado.py"), nested.out);
        testing::write_file(dir.file(input.name + ".py"), python.out);
        testing::write_file(dir.file(input.name + ".json"), json.out);
        arguments += " " + dir.file(input.name);
    }
    if (std::system("python3 -c 'import sympy' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 com sympy ausente";
    testing::write_file(dir.file("check.py"), script);
    std::string out = dir.file("out.txt");
    int status = std::system(("python3 " + dir.file("check.py") + arguments + " >" + out + " 2>&1").c_str());
    EXPECT_EQ(status, 0) << testing::read_file(out);
    EXPECT_EQ(testing::read_file(out), "ok\n");
}

}  // namespace
}  // namespace quorvat
