#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "plot/number_format.h"

namespace quorvat {
namespace {

std::string printf_c(const char* format, double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

TEST(NumberFormat, MatchesPrintfInTheCLocale) {
    std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    for (double v : {0.0, -0.0, 0.1, 5.0, -60.0, 20.0, 180.0, -180.0, 1e-5, 123456.0, 1234567.0, 0.005, -0.005,
                     2.675, 1e300, -1e-300, 40.125, 7.0710678118654755, double(INFINITY), -double(INFINITY)}) {
        EXPECT_EQ(format_fixed(v, 2, 7), printf_c("%7.2f", v)) << v;
        EXPECT_EQ(format_general(v), printf_c("%g", v)) << v;
        EXPECT_EQ(format_general(v, 17), printf_c("%.17g", v)) << v;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberFormat, KeepsTheFullStopUnderACommaLocale) {
    std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "pt_BR.UTF-8")) GTEST_SKIP() << "no pt_BR.UTF-8 locale";
    ASSERT_EQ(printf_c("%g", 1.5), "1,5");
    std::string fixed = format_fixed(-3.25, 2, 7), general = format_general(0.1, 17);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(fixed, "  -3.25");
    EXPECT_EQ(general, "0.10000000000000001");
}

}  // namespace
}  // namespace quorvat
