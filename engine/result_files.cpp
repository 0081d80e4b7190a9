#include "engine/result_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/error_reason.h"

namespace quorvat {

namespace {

std::string folder_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The errno of an existing file at name that must not be replaced, or 0. A read-only
// old result is kept as the user made it.
int replace_refusal(const std::string& name) {
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (S_ISREG(info.st_mode) && ::access(name.c_str(), W_OK) != 0) return errno;
    return 0;
}

// Creates a new temporary file beside name (0666 less the umask, as fopen would);
// returns its descriptor or -1 with errno set.
int create_temporary(const std::string& name, std::string& temporary) {
    static unsigned counter = 0;
    std::string folder = folder_of(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + "/.quorvat-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes one temporary file; 0 or the errno of the failure.
int write_temporary(const PendingFile& file, std::string& temporary) {
    int fd = create_temporary(file.name, temporary);
    if (fd < 0) {
        temporary.clear();
        return errno;
    }
    std::FILE* stream = ::fdopen(fd, "w");
    if (!stream) {
        int error = errno;
        ::close(fd);
        return error;
    }
    errno = 0;
    bool ok = file.write(stream) && std::fflush(stream) == 0 && !std::ferror(stream);
    int error = errno;
    if (std::fclose(stream) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? 0 : (error != 0 ? error : EIO);
}

}  // namespace

bool write_files_all_or_nothing(const std::vector<PendingFile>& files, const std::string& protected_path,
                                LogSink& log) {
    for (const PendingFile& file : files) {
        if (!protected_path.empty() && same_file(file.name, protected_path)) {
            log_message(log, "O arquivo de resultado %s é o próprio netlist: nenhum arquivo foi gravado.",
                        file.name.c_str());
            return false;
        }
    }
    for (const PendingFile& file : files) {
        if (int error = replace_refusal(file.name)) {
            log_message(log, "Erro ao gravar o arquivo %s: %s", file.name.c_str(), error_reason(error));
            return false;
        }
    }
    std::vector<std::string> temporaries;
    auto remove_temporaries = [&](std::size_t from) {
        for (std::size_t i = from; i < temporaries.size(); ++i) ::unlink(temporaries[i].c_str());
    };
    for (const PendingFile& file : files) {
        std::string temporary;
        int error = write_temporary(file, temporary);
        if (!temporary.empty()) temporaries.push_back(temporary);
        if (error != 0) {
            remove_temporaries(0);
            log_message(log, "Erro ao gravar o arquivo %s: %s", file.name.c_str(), error_reason(error));
            return false;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (::rename(temporaries[i].c_str(), files[i].name.c_str()) != 0) {
            int error = errno;
            remove_temporaries(i);
            log_message(log, "Erro ao gravar o arquivo %s: %s", files[i].name.c_str(), error_reason(error));
            return false;
        }
    }
    return true;
}

}  // namespace quorvat
