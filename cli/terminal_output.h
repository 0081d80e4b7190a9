// What quorvat-cli writes to the terminal: control characters made visible, and write
// errors on standard output reported instead of ignored.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>

namespace quorvat::cli {

/// Passes bytes to another buffer, replacing every C0 control character but tab and line
/// feed, DEL and every C1 control character (U+0080..U+009F) by U+FFFD, so that a name
/// holding ESC [2J shows as text instead of clearing the terminal.
class VisibleControlsBuffer : public std::streambuf {
public:
    explicit VisibleControlsBuffer(std::streambuf* target) : target_(target) {}
    ~VisibleControlsBuffer() override;
    /// The errno of the first failed write to the target, or 0.
    int error() const { return error_; }

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool put(unsigned char byte);
    bool send(const char* text, std::streamsize count);
    std::streambuf* target_;
    int error_ = 0;
    bool pending_c2_ = false;  // a 0xC2 lead byte whose partner has not come yet
};

/// Puts the filter in front of std::cout and std::cerr for its lifetime.
class TerminalFilters {
public:
    TerminalFilters();
    ~TerminalFilters();
    TerminalFilters(const TerminalFilters&) = delete;
    TerminalFilters& operator=(const TerminalFilters&) = delete;

private:
    std::streambuf* out_original_;
    std::streambuf* err_original_;
    std::unique_ptr<VisibleControlsBuffer> out_, err_;
};

/// Flushes standard output and checks it: a write error ("disco cheio" on /dev/full)
/// gives a message on standard error and status 1 when status was 0.
int checked_exit_status(int status);

}  // namespace quorvat::cli
