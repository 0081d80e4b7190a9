#include "cli/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <memory>
#include <ostream>

#include "engine/error_reason.h"
#include "engine/text.h"

namespace quorvat::cli {

namespace {

class PrefixedLog : public LogSink {
public:
    PrefixedLog(const std::string& command, std::ostream& err) : command_(command), err_(err) {}
    void log(std::string_view line) override { err_ << "quorvat-cli " << command_ << ": " << to_utf8(line) << '\n'; }

private:
    const std::string& command_;
    std::ostream& err_;
};

bool same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// A device or a FIFO at a name (/dev/stdout, /dev/null, a pipe) holds no file that could
// be lost, and must not be replaced: it is written directly, every error checked. The
// open does not wait for a FIFO's reader. Returns 0 or the errno of the failure.
bool is_stream(const std::string& name) {
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode));
}

int write_stream(const PendingFile& file) {
    int fd = ::open(file.name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return write_through_descriptor(fd, file);
}

}  // namespace

PendingFile bytes_file(const std::string& name, std::string bytes) {
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    return {name, [shared](std::FILE* file) {
                return std::fwrite(shared->data(), 1, shared->size(), file) == shared->size();
            }};
}

bool write_output_files(const std::string& command, const std::vector<PendingFile>& files,
                        const std::vector<std::string>& inputs, std::ostream& err) {
    for (const PendingFile& file : files)
        for (const std::string& input : inputs)
            if (same_file(file.name, input)) {
                err << "quorvat-cli " << command << ": " << to_utf8(file.name)
                    << " é um dos arquivos de entrada: nenhum arquivo foi gravado\n";
                return false;
            }
    PrefixedLog log(command, err);
    std::vector<PendingFile> regular, streams;
    for (const PendingFile& file : files) (is_stream(file.name) ? streams : regular).push_back(file);
    if (!write_files_all_or_nothing(regular, "", log)) return false;
    for (const PendingFile& file : streams)
        if (int error = write_stream(file)) {
            log_message(log, "Erro ao gravar o arquivo %s: %s", file.name.c_str(), error_reason(error));
            return false;
        }
    return true;
}

}  // namespace quorvat::cli
