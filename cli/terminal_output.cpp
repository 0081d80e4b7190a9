#include "cli/terminal_output.h"

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "engine/error_reason.h"

namespace quorvat::cli {

namespace {
const char replacement[] = "\xEF\xBF\xBD";  // U+FFFD
VisibleControlsBuffer* standard_output = nullptr;
}

VisibleControlsBuffer::~VisibleControlsBuffer() { sync(); }

bool VisibleControlsBuffer::send(const char* text, std::streamsize count) {
    errno = 0;
    if (target_->sputn(text, count) == count) return true;
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    return false;
}

bool VisibleControlsBuffer::put(unsigned char byte) {
    auto emit = [&](const char* text, std::streamsize count) { return send(text, count); };
    if (pending_c2_) {
        pending_c2_ = false;
        if (byte >= 0x80 && byte <= 0x9F) return emit(replacement, 3);
        if (!emit("\xC2", 1)) return false;
    }
    if (byte == 0xC2) {
        pending_c2_ = true;
        return true;
    }
    if ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F) return emit(replacement, 3);
    char ch = static_cast<char>(byte);
    return emit(&ch, 1);
}

VisibleControlsBuffer::int_type VisibleControlsBuffer::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    return put(static_cast<unsigned char>(traits_type::to_char_type(ch))) ? ch : traits_type::eof();
}

std::streamsize VisibleControlsBuffer::xsputn(const char* text, std::streamsize count) {
    // Runs of ordinary bytes go through in one call: the logs run to many thousands of lines.
    std::streamsize done = 0;
    while (done < count) {
        std::streamsize run = done;
        while (run < count && !pending_c2_) {
            unsigned char byte = static_cast<unsigned char>(text[run]);
            if (byte < 0x20 || byte == 0x7F || byte == 0xC2) break;
            ++run;
        }
        if (run > done) {
            if (!send(text + done, run - done)) return done;
            done = run;
            continue;
        }
        if (!put(static_cast<unsigned char>(text[done]))) return done;
        ++done;
    }
    return done;
}

int VisibleControlsBuffer::sync() {
    errno = 0;
    int result = target_->pubsync();
    if (result != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
    return result;
}

TerminalFilters::TerminalFilters()
    : out_original_(std::cout.rdbuf()),
      err_original_(std::cerr.rdbuf()),
      out_(std::make_unique<VisibleControlsBuffer>(out_original_)),
      err_(std::make_unique<VisibleControlsBuffer>(err_original_)) {
    std::cout.rdbuf(out_.get());
    standard_output = out_.get();
    std::cerr.rdbuf(err_.get());
}

TerminalFilters::~TerminalFilters() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(out_original_);
    standard_output = nullptr;
    std::cerr.rdbuf(err_original_);
}

int checked_exit_status(int status) {
    std::cout.flush();
    errno = 0;
    // A failed flush leaves the bytes in the buffer: flushing again gives the reason.
    bool failed = std::fflush(stdout) != 0;
    int error = errno;
    failed = failed || std::ferror(stdout) || std::cout.fail();
    if (standard_output && standard_output->error() != 0) error = standard_output->error();
    if (!failed) return status;
    std::cerr << "quorvat-cli: erro ao escrever na saída padrão: " << error_reason(error != 0 ? error : EIO) << "\n";
    return status == 0 ? 1 : status;
}

}  // namespace quorvat::cli
