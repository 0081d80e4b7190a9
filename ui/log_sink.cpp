#include "ui/log_sink.h"

#include <string>

#include "engine/fp_fault.h"
#include "engine/text.h"
#include "ui/log_view.h"

namespace quorvat {

namespace {

// The bytes as UTF-8 text of one line: invalid sequences as Windows-1252 characters,
// line breaks as blanks.
std::string one_line_of_utf8(std::string_view bytes) {
    const std::string text = to_utf8(bytes);
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            line += ' ';
        } else if (text.compare(i, 3, "\xE2\x80\xA9") == 0) {  // the paragraph separator
            line += ' ';
            i += 2;
        } else {
            line += text[i];
        }
    }
    return line;
}

}  // namespace

QString decode_bytes(std::string_view bytes) {
    std::string text = one_line_of_utf8(bytes);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

MemoLog::MemoLog(LogView& memo) : memo_(memo) {}

void MemoLog::log(std::string_view line) {
    FpFlagsGuard keep_flags;
    memo_.append_line(one_line_of_utf8(line));
}

void MemoLog::flush() {
    FpFlagsGuard keep_flags;
    memo_.refresh();
}

qsizetype MemoLog::pending_lines() const { return memo_.pending_lines(); }

}  // namespace quorvat
