// Poles and zeros from the companion matrix, and the export formats read back.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <complex>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "certified/certified_roots.h"
#include "numeric/export.h"
#include "numeric/roots.h"

namespace quorvat {
namespace {

WidePolynomial polynomial(std::vector<double> ascending, double cte = 1.0) {
    WidePolynomial p;
    p.c = std::move(ascending);
    p.Cte = cte;
    return p;
}

// The report of raizes, certified: multiplicities, roots proved on the imaginary axis,
// roots beyond the double range, the gain in a wider range, and the scale undone.
TEST(Roots, ReportsAreCertified) {
    struct Case {
        std::vector<double> num, den;
        double num_cte, den_scale;
        std::string expected;
    } cases[] = {
        // H(s) = 2 (s + 1) / (2 s^3 + 2 s^2 + 2 s) with Cte 3 on the numerator.
        {{2, 2}, {0, 2, 2, 2}, 3.0, 1.0,
         "Ganho: 3\nZeros: 1\n  -1\nPolos: 3\n  0\n  -0.5 ± 0.8660254038j  (ω0 = 1, Q = 1)\n"},
        // (s + 1)^2 s^2; s^4 + 1, whose roots mirror each other off the imaginary axis.
        {{1}, {0, 0, 1, 2, 1}, 1.0, 1.0, "Ganho: 1\nZeros: 0\nPolos: 4\n  0  (multiplicidade 2)\n  -1  (multiplicidade 2)\n"},
        {{1, 0, 0, 0, 1}, {1}, 1.0, 1.0,
         "Ganho: 1\nZeros: 4\n  -0.7071067812 ± 0.7071067812j  (ω0 = 1, Q = 0.7071067812)\n"
         "  0.7071067812 ± 0.7071067812j  (ω0 = 1, Q = -0.7071067812)\nPolos: 0\n"},
        // Roots and gains beyond the double range.
        {{1e200, 0, 1e-200}, {1}, 1.0, 1.0, "Ganho: 1e-200\nZeros: 2\n  0 ± 1e+200j  (ω0 = 1e+200, Q = infinito)\nPolos: 0\n"},
        {{1e300, 1e-300}, {1}, 1.0, 1.0, "Ganho: 1e-300\nZeros: 1\n  -1.000000000e+600\nPolos: 0\n"},
        {{1, 1e300}, {1, 1e300}, 1e300, 1.0, "Ganho: 1e+300\nZeros: 1\n  -1e-300\nPolos: 1\n  -1e-300\n"},
        // A file in s/1000: the pole at -1000 rad/s, the gain 1000.
        {{1}, {1, 1}, 1.0, 1000.0,
         "Escala de frequência: arquivos em função de s/W (W = 1 rad/s no numerador, 1000 no denominador); "
         "ganho, zeros e polos em s, em rad/s.\nGanho: 1000\nZeros: 0\nPolos: 1\n  -1000\n"},
        {{0}, {1}, 1.0, 1.0, "Ganho: indefinido\nZeros: polinômio identicamente nulo\nPolos: 0\n"},
    };
    for (const Case& c : cases) {
        bool complete = false;
        std::string text = describe_poles_and_zeros(polynomial(c.num, c.num_cte), polynomial(c.den), 1.0, c.den_scale, &complete);
        EXPECT_TRUE(complete);
        EXPECT_EQ(text, c.expected);
    }
    // (s^2 + 1)(s^2 + 4)(s + 3)^3 = s^7 + 9 s^6 + 32 s^5 + 72 s^4 + 139 s^3 + 171 s^2 + 108 s + 108
    std::string axis = describe_poles_and_zeros(polynomial({1}), polynomial({108, 108, 171, 139, 72, 32, 9, 1}));
    EXPECT_NE(axis.find("\n  0 ± 1j  (ω0 = 1, Q = infinito)\n"), std::string::npos) << axis;
    EXPECT_NE(axis.find("\n  0 ± 2j  (ω0 = 2, Q = infinito)\n"), std::string::npos) << axis;
    EXPECT_NE(axis.find("\n  -3  (multiplicidade 3)\n"), std::string::npos) << axis;
    // Beyond the degree of the root search: said, and not complete.
    WidePolynomial huge = polynomial(std::vector<double>(max_root_degree + 2, 1.0));
    bool complete = true;
    std::string refused = describe_poles_and_zeros(polynomial({1}), huge, 1.0, 1.0, &complete);
    EXPECT_FALSE(complete);
    EXPECT_NE(refused.find("raízes não calculadas"), std::string::npos);
}

// A small JSON reader: enough to check that the export is valid JSON and to read it back.
struct Json;
using JsonObject = std::map<std::string, Json>;
using JsonArray = std::vector<Json>;
struct Json {
    std::variant<std::nullptr_t, double, std::string, std::shared_ptr<JsonArray>, std::shared_ptr<JsonObject>> value;
    const Json& operator[](const std::string& key) const { return std::get<std::shared_ptr<JsonObject>>(value)->at(key); }
    const JsonArray& array() const { return *std::get<std::shared_ptr<JsonArray>>(value); }
    double number() const { return std::get<double>(value); }
    const std::string& string() const { return std::get<std::string>(value); }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}
    Json document() {
        Json j = value();
        skip();
        if (pos_ != text_.size()) throw std::runtime_error("trailing text");
        return j;
    }

private:
    void skip() { while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_; }
    void expect(char ch) {
        skip();
        if (pos_ >= text_.size() || text_[pos_] != ch) throw std::runtime_error(std::string("expected ") + ch);
        ++pos_;
    }
    std::string string() {
        expect('"');
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            if (text_[pos_] == '\\') ++pos_;
            out += text_[pos_++];
        }
        expect('"');
        return out;
    }
    Json value() {
        skip();
        char ch = text_.at(pos_);
        if (ch == '{') {
            auto object = std::make_shared<JsonObject>();
            expect('{');
            do {
                std::string key = string();
                expect(':');
                (*object)[key] = value();
                skip();
            } while (text_[pos_] == ',' && ++pos_);
            expect('}');
            return {object};
        }
        if (ch == '[') {
            auto array = std::make_shared<JsonArray>();
            expect('[');
            do array->push_back(value()), skip();
            while (text_[pos_] == ',' && ++pos_);
            expect(']');
            return {array};
        }
        if (ch == '"') return {string()};
        if (text_.compare(pos_, 4, "null") == 0) return pos_ += 4, Json{nullptr};
        double number = 0;
        auto [end, error] = std::from_chars(text_.data() + pos_, text_.data() + text_.size(), number);
        if (error != std::errc()) throw std::runtime_error("bad number");
        pos_ = static_cast<std::size_t>(end - text_.data());
        return {number};
    }
    const std::string& text_;
    std::size_t pos_ = 0;
};

TEST(Export, JsonReadsBackWithAscendingCoefficients) {
    WidePolynomial num = polynomial({1, 1}, 0.5), den = polynomial({0, 0, 2, 1});
    std::string text = export_pair(ExportFormat::json, {num}, {den, 8.0}, "dir \"x\"/teste.n1", "teste.d1");
    Json doc = JsonReader(text).document();
    EXPECT_EQ(doc["numerador"]["arquivo"].string(), "dir \"x\"/teste.n1");
    EXPECT_EQ(doc["numerador"]["grau"].number(), 1);
    EXPECT_EQ(doc["numerador"]["Cte"].number(), 0.5);
    const JsonArray& c = doc["denominador"]["coeficientes"].array();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[2].number(), 2);
    EXPECT_EQ(c[3].number(), 1);
    EXPECT_EQ(doc["denominador"]["escala"].number(), 8.0);
}

TEST(Export, PythonAndMatlabUseDescendingPowersWithTheGainInTheNumerator) {
    WidePolynomial num = polynomial({3, 1}, 2.0), den = polynomial({0.1, 0, 2, 1}, 4.0);
    std::string py = export_pair(ExportFormat::python, {num}, {den}, "f.n1", "f.d1");
    EXPECT_NE(py.find("# Quorvat MNA: H(s) = b(s)/a(s), de f.n1 e f.d1\n"), std::string::npos);
    EXPECT_NE(py.find("\nb = [0.5, 1.5]\n"), std::string::npos) << py;
    EXPECT_NE(py.find("\na = [1, 2, 0, 0.10000000000000001]\n"), std::string::npos) << py;
    std::string m = export_pair(ExportFormat::matlab, {num}, {den}, "f.n1", "f.d1");
    EXPECT_NE(m.find("\nnum = [0.5 1.5];\n"), std::string::npos) << m;
    EXPECT_NE(m.find("\nden = [1 2 0 0.10000000000000001];\n"), std::string::npos) << m;
    // In s/W: exported in s when that fits, else in s/W, said plainly.
    std::string scaled = export_pair(ExportFormat::matlab, {polynomial({1}), 1000.0}, {polynomial({1, 1}), 1000.0}, "f.n1", "f.d1");
    EXPECT_NE(scaled.find("Escala desfeita"), std::string::npos) << scaled;
    EXPECT_NE(scaled.find("\nnum = [1000];\nden = [1 1000];\n"), std::string::npos) << scaled;
    std::vector<double> high(41, 0.0);
    high[0] = high[40] = 1.0;
    std::string kept = export_pair(ExportFormat::python, {polynomial({1}), 1e10}, {polynomial(high), 1e10}, "f.n1", "f.d1");
    EXPECT_NE(kept.find("potências de x = s/W"), std::string::npos) << kept;
    EXPECT_NE(kept.find("\na = [1, 0,"), std::string::npos) << kept;
    ExportFormat format;
    EXPECT_TRUE(parse_export_format("matlab", format));
    EXPECT_FALSE(parse_export_format("csv", format));
}

}  // namespace
}  // namespace quorvat
