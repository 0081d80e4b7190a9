#include "engine/c_locale.h"

namespace quorvat {

namespace {
locale_t c_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}
}  // namespace

CLocaleScope::CLocaleScope() : previous_(uselocale(c_locale())) {}

CLocaleScope::~CLocaleScope() { uselocale(previous_); }

}  // namespace quorvat
