// The message log: the only way the engine and the plotter report to the user.
#pragma once

#include <string_view>

namespace quorvat {

/// Receives the log, one complete line per call (no line break inside).
class LogSink {
public:
    virtual ~LogSink() = default;
    /// Appends one line. Implementations must leave the floating-point status flags as
    /// they found them, so that logging neither raises nor clears the engine's faults.
    virtual void log(std::string_view line) = 0;
};

/// Formats printf-style into a 2000-byte buffer and appends the text as one line.
/// A text longer than 1999 bytes is cut at the last UTF-8 character boundary that fits.
void log_message(LogSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// Cuts text to at most max_bytes bytes without splitting a UTF-8 sequence.
std::string_view cut_at_character_boundary(std::string_view text, std::size_t max_bytes);

}  // namespace quorvat
