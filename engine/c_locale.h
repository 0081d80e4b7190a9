// Numbers in the log, the listings and the files are always written with a full stop,
// whatever locale the process runs under: the scope switches this thread's locale to
// "C" while it lives.
#pragma once

#include <locale.h>

namespace quorvat {

class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace quorvat
