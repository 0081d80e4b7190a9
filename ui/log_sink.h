// The sink of the message log: the lines of log_message go to Memo1 of the main window
// in batches, so that a run that writes hundreds of thousands of lines costs one append
// per batch instead of one layout and repaint per line.
#pragma once

#include <string_view>

#include <QObject>
#include <QString>

#include "engine/log.h"

class QPlainTextEdit;

namespace quorvat {

/// Bytes as text for the windows: every valid UTF-8 sequence as its character, every
/// other byte as its Windows-1252 character (the character set of files from Windows).
/// Line breaks inside the bytes become blanks, so that a log line stays one line.
QString decode_bytes(std::string_view bytes);

/// Collects log lines and appends them to the memo in one appendPlainText per batch.
/// The pending lines are flushed by flush(), which the window commands call when they
/// end (also by an exception) and the options pause calls before it waits, and by a
/// queued call as soon as the event loop runs, whoever wrote them.
class MemoLog : public QObject, public LogSink {
    Q_OBJECT
public:
    explicit MemoLog(QPlainTextEdit& memo);

    /// Queues one line. Leaves the floating-point status flags as it found them.
    void log(std::string_view line) override;

    /// Appends every pending line to the memo, in order.
    void flush();

    qsizetype pending_lines() const { return pending_count_; }

private:
    QPlainTextEdit& memo_;
    QString pending_;           // the pending lines joined by '\n'
    qsizetype pending_count_ = 0;
    bool flush_posted_ = false;
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
