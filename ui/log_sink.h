// The sink of the message log: the lines of log_message go to Memo1 of the main window,
// whose line store takes each at the cost of a copy; the screen follows once per batch,
// never once per line.
#pragma once

#include <string_view>

#include <QString>

#include "engine/log.h"

namespace quorvat {

class LogView;

/// Bytes as text for the windows: every valid UTF-8 sequence as its character, every
/// other byte as its Windows-1252 character (the character set of files from Windows).
/// Line breaks inside the bytes become blanks, so that a log line stays one line.
QString decode_bytes(std::string_view bytes);

/// Appends log lines to the memo. The screen shows them at flush(), which the window
/// commands call when they end (also by an exception) and the options pause calls before
/// it waits, or at the next turn of the event loop, whoever wrote them.
class MemoLog : public LogSink {
public:
    explicit MemoLog(LogView& memo);

    /// Queues one line. Leaves the floating-point status flags as it found them.
    void log(std::string_view line) override;

    /// Shows every line appended so far.
    void flush();

    /// Lines appended and not yet shown.
    qsizetype pending_lines() const;

private:
    LogView& memo_;
};

/// Flushes the log when it goes out of scope, also while an exception unwinds through
/// it: the lines written before a failure are in the memo before its error box shows.
class LogFlushGuard {
public:
    explicit LogFlushGuard(MemoLog& log) : log_(log) {}
    ~LogFlushGuard() { log_.flush(); }
    LogFlushGuard(const LogFlushGuard&) = delete;
    LogFlushGuard& operator=(const LogFlushGuard&) = delete;

private:
    MemoLog& log_;
};

}  // namespace quorvat
