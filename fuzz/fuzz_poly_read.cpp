// Fuzzes the polynomial-file reader and the integer conversion of the segment count.
#include <cfenv>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "plot/plot_files.h"

namespace {
class NullLog : public quorvat::LogSink {
public:
    void log(std::string_view) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    NullLog log;
    quorvat::ResultPolynomial p{};
    quorvat::Scanner in(text);
    try {
        // A file may hold more than one polynomial's numbers: read them all.
        while (quorvat::poly_read(in, p, log) && !in.at_end()) {
            if (p.degree < 0 || p.degree > quorvat::max_order) __builtin_trap();
        }
    } catch (const quorvat::FloatingPointFault&) {
        // A number beyond the double range: the plotter shows the error box.
    }
    (void)quorvat::lenient_to_int(text);
    (void)quorvat::denominator_name(std::string(text));
    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
