#include "engine/log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "engine/c_locale.h"
#include "engine/limits.h"

namespace quorvat {

std::string_view cut_at_character_boundary(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) return text;
    std::size_t end = max_bytes;
    // Step back over continuation bytes (10xxxxxx) so that the cut falls before a lead byte.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void log_message(LogSink& sink, const char* format, ...) {
    CLocaleScope c_numbers;
    char buffer[max_text_length + 1];
    va_list args;
    va_start(args, format);
    int needed = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (needed < 0) {
        sink.log({});
        return;
    }
    if (static_cast<std::size_t>(needed) < sizeof buffer) {
        sink.log(std::string_view(buffer, static_cast<std::size_t>(needed)));
        return;
    }
    // The text does not fit: format it whole, then cut at a character boundary.
    std::string whole(static_cast<std::size_t>(needed), '\0');
    va_start(args, format);
    std::vsnprintf(whole.data(), whole.size() + 1, format, args);
    va_end(args);
    sink.log(cut_at_character_boundary(whole, max_text_length));
}

}  // namespace quorvat
