#include "ui/log_sink.h"

#include <cstdint>

#include <QPlainTextEdit>
#include <QTextDocument>

#include "engine/fp_fault.h"

namespace quorvat {

namespace {

// Windows-1252 characters of the bytes 0x80..0x9F; 0 where the code page leaves a hole.
constexpr char16_t cp1252_high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t cp1252_character(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;  // ASCII and the Latin-1 range
    char16_t code = cp1252_high[byte - 0x80];
    return code ? code : 0xFFFD;
}

// Length of the valid UTF-8 sequence at bytes[i] and its code point; 0 when invalid
// (a stray continuation byte, a truncated or overlong sequence, a surrogate).
std::size_t utf8_sequence(std::string_view bytes, std::size_t i, char32_t& code) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char lead = byte(i);
    std::size_t length;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void append_character(QString& out, char32_t code) {
    if (code == '\n' || code == '\r' || code == 0x2029) code = ' ';  // one call, one line
    if (code >= 0x10000) {
        out += QChar(QChar::highSurrogate(code));
        out += QChar(QChar::lowSurrogate(code));
    } else {
        out += QChar(static_cast<char16_t>(code));
    }
}

}  // namespace

QString decode_bytes(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            append_character(out, byte);
            ++i;
            continue;
        }
        char32_t code = 0;
        if (std::size_t length = utf8_sequence(bytes, i, code)) {
            append_character(out, code);
            i += length;
        } else {
            append_character(out, cp1252_character(byte));
            ++i;
        }
    }
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
