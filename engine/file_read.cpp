#include "engine/file_read.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/error_reason.h"

namespace quorvat {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

FileRead fail(int& error_number, int value) {
    error_number = value;
    return value == ENOENT || value == ENOTDIR ? FileRead::missing : FileRead::failed;
}

}  // namespace

FileRead read_bounded_file(const std::string& path, std::size_t limit, std::string& text, int& error_number) {
    error_number = 0;
    text.clear();
    // stat first: opening a device can have effects of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return fail(error_number, errno);
    if (!S_ISREG(info.st_mode)) return FileRead::not_regular;
    if (static_cast<unsigned long long>(info.st_size) > limit) return FileRead::too_large;
    // O_NONBLOCK: a FIFO put in the file's place since the stat must not block the open.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return fail(error_number, errno);
    if (::fstat(file.get(), &info) != 0) return fail(error_number, errno);
    if (!S_ISREG(info.st_mode)) return FileRead::not_regular;
    // The file may grow while it is read: one byte beyond the limit is enough to refuse it.
    // The buffer starts at the size seen and grows only if the file does, so that a large
    // limit costs nothing on a small file.
    const std::size_t most = limit + 1;
    text.resize(std::min(most, static_cast<std::size_t>(info.st_size) + 1));
    std::size_t got = 0;
    while (true) {
        if (got == text.size()) {
            if (text.size() == most) break;
            text.resize(text.size() > most / 2 ? most : 2 * text.size());
        }
        ssize_t count = ::read(file.get(), text.data() + got, text.size() - got);
        if (count < 0) {
            if (errno == EINTR) continue;
            text.clear();
            return fail(error_number, errno);
        }
        if (count == 0) break;
        got += static_cast<std::size_t>(count);
    }
    text.resize(got);
    if (got > limit) {
        text.clear();
        return FileRead::too_large;
    }
    return FileRead::ok;
}

FileRead read_text_file(LogSink& log, const std::string& path, std::size_t limit, std::string& text) {
    int error_number = 0;
    FileRead result = read_bounded_file(path, limit, text, error_number);
    switch (result) {
        case FileRead::not_regular: log_message(log, "Arquivo %s não é um arquivo comum", path.c_str()); break;
        case FileRead::too_large:
            log_message(log, "Arquivo %s grande demais (mais de %zu bytes)", path.c_str(), limit);
            break;
        case FileRead::failed:
            log_message(log, "Erro ao ler o arquivo %s: %s", path.c_str(), error_reason(error_number));
            break;
        case FileRead::ok:
        case FileRead::missing: break;
    }
    return result;
}

}  // namespace quorvat
