// The factored and nested text of a polynomial read back: it must expand to the
// polynomial (checked by evaluation modulo a prime at random points).
#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <flint/ulong_extras.h>
#include <gtest/gtest.h>

#include "symbolic/factored_text.h"

namespace quorvat {
namespace {

using symbolic::Mpoly;
using symbolic::MpolyContext;
using u64 = std::uint64_t;
constexpr u64 prime = (u64{1} << 61) - 1;

u64 mul(u64 a, u64 b) { return n_mulmod2(a, b, prime); }

// Reads sums, products, powers, signs, integers and names; values by name.
class Reader {
public:
    Reader(const std::string& text, const std::vector<std::string>& names, const std::vector<u64>& values)
        : text_(text), names_(names), values_(values) {}
    u64 read() {
        const u64 v = sum();
        if (at_ != text_.size()) throw std::runtime_error("sobra texto em " + std::to_string(at_));
        return v;
    }

private:
    void skip() {
        while (at_ < text_.size() && text_[at_] == ' ') ++at_;
    }
    bool take(char c) {
        skip();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    u64 sum() {
        u64 v = product();
        for (;;) {
            if (take('+')) v = (v + product()) % prime;
            else if (take('-')) v = (v + prime - product()) % prime;
            else return v;
        }
    }
    u64 product() {
        u64 v = power();
        while (take('*')) v = mul(v, power());
        return v;
    }
    u64 power() {
        if (take('-')) return (prime - power()) % prime;
        const u64 base = primary();
        if (!take('^')) return base;
        u64 v = 1;
        for (u64 e = primary(); e > 0; --e) v = mul(v, base);
        return v;
    }
    u64 primary() {
        if (take('(')) {
            const u64 v = sum();
            if (!take(')')) throw std::runtime_error("falta )");
            return v;
        }
        skip();
        const std::size_t start = at_;
        while (at_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[at_]))) ++at_;
        const std::string word = text_.substr(start, at_ - start);
        if (word.empty()) throw std::runtime_error("esperado um fator em " + std::to_string(start));
        if (std::isdigit(static_cast<unsigned char>(word[0]))) return std::stoull(word) % prime;
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == word) return values_[i];
        throw std::runtime_error("nome desconhecido " + word);
    }

    const std::string& text_;
    const std::vector<std::string>& names_;
    const std::vector<u64>& values_;
    std::size_t at_ = 0;
};

TEST(FactoredText, ExpandsToThePolynomialAndNestsWhereShorter) {
    const std::vector<std::string> names = {"GM1", "GM2", "GM3", "RO4", "R8", "R9", "C1"};
    const std::vector<std::string> all = {"s", "GM1", "GM2", "GM3", "RO4", "R8", "R9", "C1"};
    MpolyContext ctx(static_cast<slong>(all.size()));
    std::vector<const char*> vars;
    for (const std::string& n : all) vars.push_back(n.c_str());
    std::mt19937_64 random(7);
    // Fixed shapes (symmetric sums stay flat; shared factors come out), then random
    // products of random sums, where factors and nesting both occur.
    std::vector<std::string> inputs = {"GM1*GM2 + GM1*GM3 + GM2*GM3",
                                       "-2*RO4*R8*R9*GM1 - 2*RO4*R8*R9*GM2 + 4*RO4*C1",
                                       "(GM1*R8 + 1)*(RO4*R9*(GM2 + GM3) + R8*R9) + C1*GM1*GM2*GM3*RO4*R8*R9",
                                       "(R9 + 1)^3*GM1^2", "7", "-GM1"};
    for (int k = 0; k < 40; ++k) {
        std::string product;
        for (int f = 0, factors = 1 + static_cast<int>(random() % 3); f < factors; ++f) {
            std::string sum;
            for (int t = 0, terms = 1 + static_cast<int>(random() % 4); t < terms; ++t) {
                sum += (t ? (random() % 4 ? " + " : " - ") : "") + std::to_string(1 + random() % 3);
                for (std::size_t n = 0; n < names.size(); ++n)
                    if (random() % 3 == 0) sum += "*" + names[n];
            }
            product += (f ? "*(" : "(") + sum + ")";
        }
        inputs.push_back(product + " + " + names[random() % names.size()]);
    }
    std::vector<std::string> texts;
    for (const std::string& input : inputs) {
        Mpoly p(ctx);
        ASSERT_EQ(fmpz_mpoly_set_str_pretty(p.get(), input.c_str(), vars.data(), ctx.get()), 0) << input;
        const std::string text = symbolic::factored_text(p, names);
        texts.push_back(text);
        for (int point = 0; point < 3; ++point) {
            std::vector<u64> values(all.size());
            for (u64& v : values) v = random() % prime;
            fmpz_t want;
            fmpz_init(want);
            std::vector<fmpz> at(values.size());
            for (std::size_t i = 0; i < values.size(); ++i) fmpz_init_set_ui(&at[i], values[i]);
            std::vector<fmpz*> pointers;
            for (fmpz& v : at) pointers.push_back(&v);
            fmpz_mpoly_evaluate_all_fmpz(want, p.get(), pointers.data(), ctx.get());
            fmpz_mod_ui(want, want, prime);
            const std::vector<u64> named(values.begin() + 1, values.end());
            u64 got = 0;
            ASSERT_NO_THROW(got = Reader(text, names, named).read()) << text;
            EXPECT_EQ(got, fmpz_get_ui(want)) << input << " -> " << text;
            for (fmpz& v : at) fmpz_clear(&v);
            fmpz_clear(want);
        }
    }
    EXPECT_EQ(texts[0], "GM1*GM2 + GM1*GM3 + GM2*GM3");
    EXPECT_EQ(texts[1], "-2*RO4*(GM1*R8*R9 + GM2*R8*R9 - 2*C1)");
    EXPECT_EQ(texts[3], "GM1^2*(R9 + 1)^3");
    EXPECT_EQ(texts[4], "7");
    EXPECT_EQ(texts[5], "-GM1");
    EXPECT_EQ(texts[2], "R9*(RO4*(GM1*R8*(GM2*GM3*C1 + GM2 + GM3) + GM2 + GM3) + R8*(GM1*R8 + 1))");
}

}  // namespace
}  // namespace quorvat
