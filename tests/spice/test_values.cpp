// Values as decks write them: scale suffixes (M milli, MEG mega, the micro sign in
// UTF-8 and Windows-1252), units after them, expressions and .param.
#include <gtest/gtest.h>

#include "spice/values.h"
#include "spice_testing.h"

namespace quorvat::spice {
namespace {

TEST(SpiceValues, SuffixTable) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"1k", 1e3},       {"1K", 1e3},        {"4.7kOhm", 4700},   {"1m", 1e-3},      {"1M", 1e-3},
        {"1MEG", 1e6},     {"2.2meg", 2.2e6},  {"1Megohm", 1e6},    {"10uF", 10e-6},   {"3.3n", 3.3e-9},
        {"47p", 47e-12},   {"1f", 1e-15},      {"1F", 1e-15},       {"2G", 2e9},       {"1T", 1e12},
        {"1mil", 25.4e-6}, {"5V", 5},          {"1e3k", 1e6},       {".5m", 0.5e-3},   {"1.5E-3u", 1.5e-9},
        {"10\xC2\xB5", 10e-6}, {"10\xB5" "F", 10e-6}, {"2\xCE\xBC", 2e-6}, {"-3k", -3e3}, {"100", 100},
        // the resistor code: the suffix stands for the point
        {"4K7", 4.7e3},    {"4R7", 4.7},       {"2m5", 2.5e-3},     {"2meg5", 2.5e6},  {"27R56", 27.56},
        {"1k5", 1.5e3},    {"2u2", 2.2e-6},    {"4k7Ohm", 4.7e3},   {"10R", 10},
    };
    for (const Case& c : cases) {
        double value = 0.0;
        std::string error;
        ASSERT_TRUE(evaluate(c.text, nullptr, value, error)) << c.text << ": " << error;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
    for (const char* bad : {"abc", "", "1..2", "{1+}", "1/0", "1.5k7", "4x7", "1e3k5"}) {
        double value = 0.0;
        std::string error;
        EXPECT_FALSE(evaluate(bad, nullptr, value, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(SpiceValues, ExpressionsAndParameters) {
    ParamScope global;
    global.define("rb", "2*ra");  // refers to a parameter defined after it
    global.define("RA", "1k");
    global.define("loop", "loop+1");
    ParamScope inner(&global);
    inner.define_value("ra", 5);
    struct Case {
        const ParamScope* scope;
        const char* text;
        double value;
    } cases[] = {
        {&global, "{rb}", 2000},          {&global, "'ra + rb'", 3000},     {&global, "{(ra+rb)/3}", 1000},
        {&global, "-ra*2", -2000},        {&global, "2^3^2", 512},          {&global, "3**2", 9},
        {&global, "{sqrt(ra*1meg)}", std::sqrt(1e9)}, {&inner, "{ra}", 5}, {&inner, "{rb}", 2000},
        {&global, "{2*pi}", 2 * 3.141592653589793},
        {&global, "{ra < rb ? 3 : 4}", 3},  {&global, "{ra >= 1k && !(rb == 2k)}", 0}, {&global, "{ra != 1 || 0}", 1},
        {&global, "max(ra, 5k) + min(1, 2)", 5001}, {&global, "{pow(2, 10) - log10(100) + ln(1)}", 1022},
    };
    for (const Case& c : cases) {
        double value = 0.0;
        std::string error;
        ASSERT_TRUE(evaluate(c.text, c.scope, value, error)) << c.text << ": " << error;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
    double value;
    std::string error;
    EXPECT_FALSE(evaluate("{loop}", &global, value, error));
    EXPECT_NE(error.find("si mesmo"), std::string::npos) << error;
    EXPECT_FALSE(evaluate("{nada}", &global, value, error));
}

TEST(SpiceValues, DeckParametersReachElementValues) {
    ImportResult r = testing::import_text(
        "t\n.param rval=2.2k cval = {(rval - 200)*1.5}\n.param big=1MEG\nR1 a 0 {rval}\nC1 a 0 cval\n"
        "R2 a 0 R={big/2}\nR3 a 0 1k m=2\n");
    ASSERT_TRUE(r.ok) << r.refusals[0];
    EXPECT_EQ(testing::element_lines(r.netlist),
              "R1 a 0 2200\nC1 a 0 3000\nR2 a 0 5e+05\nR3 a 0 500\n");
}

}  // namespace
}  // namespace quorvat::spice
