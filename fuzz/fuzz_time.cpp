// Fuzzes x(t) of a pair of polynomial files: the two files are the input's halves at its
// first "|". The expansion, a short table and the chosen interval must end, and a table
// of finite times must give finite values or none that the command would print.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fp_fault.h"
#include "engine/polynomial.h"
#include "engine/scanner.h"
#include "plot/plot_files.h"
#include "time/formula.h"
#include "time/inverse_laplace.h"

namespace {
class NullLog : public quorvat::LogSink {
public:
    void log(std::string_view) override {}
};

bool read(std::string_view text, quorvat::ResultPolynomial& p) {
    NullLog log;
    quorvat::Scanner in(text);
    p = quorvat::ResultPolynomial{};
    if (!quorvat::poly_read(in, p, log)) return false;
    if (!std::isfinite(p.Cte)) return false;
    for (int i = 0; i <= p.degree; ++i)
        if (!std::isfinite(p.c[i])) return false;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvat;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t bar = text.find('|');
    if (bar == std::string_view::npos) return 0;
    ResultPolynomial num, den;
    try {
        fp_clear();
        if (!read(text.substr(0, bar), num) || !read(text.substr(bar + 1), den)) return 0;
        // Degrees beyond a few make each run take seconds of arb; the shapes stay the same.
        if (num.degree > 6 || den.degree > 6) return 0;
    } catch (const FloatingPointFault&) {
        std::feclearexcept(FE_ALL_EXCEPT);
        return 0;
    }
    std::feclearexcept(FE_ALL_EXCEPT);
    std::string error;
    std::unique_ptr<InverseLaplace> x = InverseLaplace::create(num, den, error);
    if (!x) return 0;
    (void)formula_text(x->expansion(), "x", nullptr);
    std::string reason;
    double span = choose_span({&x->expansion()}, reason);
    if (!(span > 0.0) || !std::isfinite(span)) __builtin_trap();
    std::vector<double> times;
    for (int i = 0; i <= 4; ++i) times.push_back(span * (i / 4.0));
    TimeTable table = x->tabulate(times);
    if (table.values.size() != times.size()) __builtin_trap();
    (void)x->talbot(times.back(), 1.0);
    (void)x->final_value();
    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
