#include "engine/compared_write.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace quorvat {

namespace {

struct Comparison {
    Comparison(int fd, const std::function<int()>& make) : old_fd(fd), create(make) {}
    int old_fd;
    const std::function<int()>& create;
    int new_fd = -1;
    off_t equal = 0;  // bytes of the content so far, all equal to the old file's
    int error = 0;
    bool unreadable = false;  // a read of the old file failed: it counts as different
    std::vector<char> old;

    // Reads up to size bytes of the old file; fewer at its end or on an error.
    std::size_t read_old(std::size_t size) {
        old.resize(size);
        std::size_t got = 0;
        while (got < size) {
            ssize_t n = ::read(old_fd, old.data() + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) unreadable = true;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        return got;
    }

    bool write_all(const char* data, std::size_t size) {
        while (size > 0) {
            ssize_t n = ::write(new_fd, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = errno;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // The first difference: a new file, with the equal part copied from the old one.
    bool diverge() {
        new_fd = create();
        if (new_fd < 0) {
            error = errno;
            return false;
        }
        std::vector<char> chunk(1 << 16);
        for (off_t at = 0; at < equal;) {
            const std::size_t want = static_cast<std::size_t>(std::min<off_t>(equal - at, static_cast<off_t>(chunk.size())));
            ssize_t n = ::pread(old_fd, chunk.data(), want, at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                return false;
            }
            if (!write_all(chunk.data(), static_cast<std::size_t>(n))) return false;
            at += n;
        }
        return true;
    }
};

ssize_t compared_write(void* cookie, const char* data, std::size_t size) {
    Comparison& c = *static_cast<Comparison*>(cookie);
    if (c.new_fd < 0) {
        if (c.read_old(size) == size && !c.unreadable && std::memcmp(c.old.data(), data, size) == 0) {
            c.equal += static_cast<off_t>(size);
            return static_cast<ssize_t>(size);
        }
        if (!c.diverge()) return -1;
    }
    return c.write_all(data, size) ? static_cast<ssize_t>(size) : -1;
}

}  // namespace

ComparedWrite write_if_changed(const PendingFile& file, int old_fd, const std::function<int()>& create) {
    Comparison c(old_fd, create);
    ComparedWrite out;
    cookie_io_functions_t io{};
    io.write = compared_write;
    std::FILE* stream = ::fopencookie(&c, "w", io);
    if (!stream) {
        out.error = errno;
        ::close(old_fd);
        return out;
    }
    errno = 0;
    bool ok = file.write(stream) && std::fflush(stream) == 0 && !std::ferror(stream);
    int error = c.error != 0 ? c.error : errno;
    std::fclose(stream);
    // All of the content equal: the old file is the same if it ends there too; if it
    // goes on, the new file is the equal part alone.
    if (ok && c.new_fd < 0) {
        if (c.read_old(1) == 0 && !c.unreadable) {
            out.unchanged = true;
        } else if (!c.diverge()) {
            ok = false;
            error = c.error;
        }
    }
    ::close(old_fd);
    if (c.new_fd >= 0 && ::close(c.new_fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) out.error = error != 0 ? error : EIO;
    return out;
}

}  // namespace quorvat
