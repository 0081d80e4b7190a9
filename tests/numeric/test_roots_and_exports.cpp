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

#include "numeric/export.h"
#include "numeric/roots.h"

namespace quorvat {
namespace {

ResultPolynomial polynomial(std::vector<double> ascending, double cte = 1.0) {
    ResultPolynomial p{};
    p.degree = static_cast<int>(ascending.size()) - 1;
    std::copy(ascending.begin(), ascending.end(), p.c);
    p.Cte = cte;
    return p;
}

TEST(Roots, KnownRealComplexRepeatedAndAtTheOrigin) {
    // (s + 1)(s + 2)(s + 3) = s^3 + 6s^2 + 11s + 6
    PolynomialRoots real = polynomial_roots(polynomial({6, 11, 6, 1}));
    ASSERT_EQ(real.roots.size(), 3u);
    EXPECT_NEAR(real.roots[0].real(), -1, 1e-12);
    EXPECT_NEAR(real.roots[1].real(), -2, 1e-12);
    EXPECT_NEAR(real.roots[2].real(), -3, 1e-12);
    for (auto z : real.roots) EXPECT_EQ(z.imag(), 0.0);
    // s^2 + s + 1: -1/2 ± j sqrt(3)/2, a conjugate pair exactly.
    PolynomialRoots pair = polynomial_roots(polynomial({1, 1, 1}));
    ASSERT_EQ(pair.roots.size(), 2u);
    EXPECT_NEAR(pair.roots[0].real(), -0.5, 1e-14);
    EXPECT_NEAR(pair.roots[0].imag(), std::sqrt(3.0) / 2, 1e-14);
    EXPECT_EQ(pair.roots[1], std::conj(pair.roots[0]));
    // (s + 1)^2 s^2 = s^4 + 2s^3 + s^2: a double root and s = 0 twice.
    PolynomialRoots repeated = polynomial_roots(polynomial({0, 0, 1, 2, 1}));
    EXPECT_EQ(repeated.roots_at_origin, 2);
    ASSERT_EQ(repeated.roots.size(), 2u);
    EXPECT_NEAR(repeated.roots[0].real(), -1, 1e-7);
    EXPECT_NEAR(repeated.roots[1].real(), -1, 1e-7);
    // Exact zero leading coefficients are dropped; a constant has no root.
    PolynomialRoots trailing = polynomial_roots(polynomial({2, 1, 0, 0}));
    ASSERT_EQ(trailing.roots.size(), 1u);
    EXPECT_NEAR(trailing.roots[0].real(), -2, 1e-14);
    EXPECT_TRUE(polynomial_roots(polynomial({0})).identically_zero);
    EXPECT_TRUE(polynomial_roots(polynomial({5})).roots.empty());
}

TEST(Roots, WideSpreadRootsArePolished) {
    // (s + 1e-3)(s + 1)(s + 1e3)
    std::vector<double> c = {1e-3 * 1 * 1e3, 1e-3 * 1 + 1e-3 * 1e3 + 1 * 1e3, 1e-3 + 1 + 1e3, 1};
    PolynomialRoots r = polynomial_roots(polynomial(c));
    ASSERT_EQ(r.roots.size(), 3u);
    EXPECT_NEAR(r.roots[0].real(), -1e-3, 1e-15);
    EXPECT_NEAR(r.roots[1].real(), -1, 1e-12);
    EXPECT_NEAR(r.roots[2].real(), -1e3, 1e-9);
}

// Coefficients across hundreds of decades: each group of roots of near modulus is solved
// at its own scale, and a root beyond the double range is counted as not computed.
TEST(Roots, CoefficientsBeyondTheMatrixRange) {
    struct Case {
        std::vector<double> c;
        std::vector<std::complex<double>> roots;  // by modulus, upper root of a pair first
        int failed;
    } cases[] = {
        {{1e200, 0, 1e-200}, {{0, 1e200}, {0, -1e200}}, 0},
        {{1e-300, 1}, {{-1e-300, 0}}, 0},
        {{1e300, 1e-300}, {}, 1},  // -1e600
        // (s + 1e-150)(s + 1e150) and (s^2 + 1e-200)(s + 1e100)
        {{1, 1e150 + 1e-150, 1}, {{-1e-150, 0}, {-1e150, 0}}, 0},
        {{1e-100, 1e-200, 1e100, 1}, {{0, 1e-100}, {0, -1e-100}, {-1e100, 0}}, 0},
    };
    for (const Case& c : cases) {
        PolynomialRoots r = polynomial_roots(polynomial(c.c));
        EXPECT_EQ(r.failed, c.failed) << c.c.size();
        ASSERT_EQ(r.roots.size(), c.roots.size()) << c.c.size();
        for (std::size_t i = 0; i < c.roots.size(); ++i)
            EXPECT_LE(std::abs(r.roots[i] - c.roots[i]), 1e-12 * std::abs(c.roots[i])) << r.roots[i];
    }
    bool complete = true;
    std::string report = describe_poles_and_zeros(polynomial({1e300, 1e-300}), polynomial({1}), &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(report.find("nan"), std::string::npos);
    EXPECT_NE(report.find("Ganho: 1e-300\n"), std::string::npos) << report;
    // Each leading product overflows a double while the gain does not.
    std::string gain = describe_poles_and_zeros(polynomial({1, 1e300}, 1e300), polynomial({1, 1e300}, 1e300));
    EXPECT_NE(gain.find("Ganho: 1\n"), std::string::npos) << gain;
}

TEST(Roots, ReportGivesGainZerosPolesAndQ) {
    // H(s) = 2 (s + 1) / (2 s^3 + 2 s^2 + 2 s) with Cte 3 on the numerator.
    std::string text = describe_poles_and_zeros(polynomial({2, 2}, 3.0), polynomial({0, 2, 2, 2}));
    EXPECT_EQ(text,
              "Ganho: 3\n"
              "Zeros: 1\n"
              "  -1\n"
              "Polos: 3\n"
              "  0\n"
              "  -0.5 ± 0.8660254038j  (ω0 = 1, Q = 1)\n");
    std::string origin = describe_poles_and_zeros(polynomial({1}), polynomial({0, 0, 1}));
    EXPECT_NE(origin.find("  0  (multiplicidade 2)\n"), std::string::npos);
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
    ResultPolynomial num = polynomial({1, 1}, 0.5), den = polynomial({0, 0, 2, 1});
    std::string text = export_pair(ExportFormat::json, num, den, "dir \"x\"/teste.n1", "teste.d1");
    Json doc = JsonReader(text).document();
    EXPECT_EQ(doc["numerador"]["arquivo"].string(), "dir \"x\"/teste.n1");
    EXPECT_EQ(doc["numerador"]["grau"].number(), 1);
    EXPECT_EQ(doc["numerador"]["Cte"].number(), 0.5);
    const JsonArray& c = doc["denominador"]["coeficientes"].array();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[2].number(), 2);
    EXPECT_EQ(c[3].number(), 1);
}

TEST(Export, PythonAndMatlabUseDescendingPowersWithTheGainInTheNumerator) {
    ResultPolynomial num = polynomial({3, 1}, 2.0), den = polynomial({0.1, 0, 2, 1}, 4.0);
    std::string py = export_pair(ExportFormat::python, num, den, "f.n1", "f.d1");
    EXPECT_NE(py.find("# Quorvat MNA: H(s) = b(s)/a(s), de f.n1 e f.d1\n"), std::string::npos);
    EXPECT_NE(py.find("\nb = [0.5, 1.5]\n"), std::string::npos) << py;
    EXPECT_NE(py.find("\na = [1, 2, 0, 0.10000000000000001]\n"), std::string::npos) << py;
    std::string m = export_pair(ExportFormat::matlab, num, den, "f.n1", "f.d1");
    EXPECT_NE(m.find("\nnum = [0.5 1.5];\n"), std::string::npos) << m;
    EXPECT_NE(m.find("\nden = [1 2 0 0.10000000000000001];\n"), std::string::npos) << m;
    ExportFormat format;
    EXPECT_TRUE(parse_export_format("matlab", format));
    EXPECT_FALSE(parse_export_format("csv", format));
}

}  // namespace
}  // namespace quorvat
