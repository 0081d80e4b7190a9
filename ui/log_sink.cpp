#include "ui/log_sink.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include "engine/fp_fault.h"
#include "engine/text.h"

namespace quorvat {

QString decode_bytes(std::string_view bytes) {
    std::string text = to_utf8(bytes);
    QString out = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // One call, one line: a line break inside the text would start a line of its own.
    for (QChar breaking : {QChar('\n'), QChar('\r'), QChar(0x2029)}) out.replace(breaking, QChar(' '));
    return out;
}

MemoLog::MemoLog(QPlainTextEdit& memo) : memo_(memo) {}

void MemoLog::log(std::string_view line) {
    FpFlagsGuard keep_flags;
    if (pending_count_ > 0) pending_ += QLatin1Char('\n');
    pending_ += decode_bytes(line);
    ++pending_count_;
    // Bounds the memory a long run holds back; the memo is not repainted meanwhile.
    constexpr qsizetype batch_limit = qsizetype(1) << 22;
    if (pending_.size() >= batch_limit) {
        flush();
        return;
    }
    if (!flush_posted_) {
        flush_posted_ = true;
        QMetaObject::invokeMethod(
            this, [this] {
                flush_posted_ = false;
                flush();
            },
            Qt::QueuedConnection);
    }
}

void MemoLog::flush() {
    if (pending_count_ == 0) return;
    FpFlagsGuard keep_flags;
    QTextDocument* document = memo_.document();
    // The log is not the user's typing: appending it must not grow the undo history,
    // nor may an undo take log lines away.
    document->setUndoRedoEnabled(false);
    memo_.appendPlainText(pending_);
    document->setUndoRedoEnabled(true);
    pending_.clear();
    pending_count_ = 0;
}

}  // namespace quorvat
