// Fuzzes the lenient conversions of the edit boxes and the scanner's conversions.
#include <cfenv>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scanner.h"
#include "engine/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    volatile double d = quorvat::lenient_to_double(text);
    volatile int32_t i = quorvat::lenient_to_int(text);
    (void)d;
    (void)i;
    quorvat::Scanner in(text);
    std::string word;
    double value;
    int32_t integer;
    // Every conversion must make progress or stop at the end: no hang, no overrun.
    while (!in.at_end()) {
        std::size_t before = in.position();
        switch (data[before] % 5) {
            case 0: in.read_number(value); break;
            case 1: in.read_integer(integer); break;
            case 2: in.read_word(word); break;
            case 3: in.read_run("IC= ", 40); break;
            default: in.skip_rest_of_line(); break;
        }
        if (in.position() == before) in.set_position(before + 1);
    }
    (void)quorvat::to_utf8(text);
    (void)quorvat::character_count(text);
    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
