#include "engine/result_files.h"

#include <dirent.h>
#include <stdio.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/compared_write.h"
#include "engine/error_reason.h"
#include "engine/file_read.h"

namespace quorvat {

namespace {

constexpr auto max_lock_wait = std::chrono::seconds(10);  // a writer holds the lock for milliseconds
constexpr std::size_t max_journal_bytes = 1u << 20;

void (*rename_hook)(std::size_t) = nullptr;

std::string folder_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string file_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The set a file belongs to: its folder and its base name (teste.n1: ".", "teste"), and
// the names of the set's own files beside it.
struct SetName {
    std::string folder, stem;

    explicit SetName(const std::string& name) : folder(folder_of(name)) {
        std::string file = file_of(name);
        std::size_t dot = file.rfind('.');
        stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    }
    bool operator<(const SetName& other) const {
        return folder != other.folder ? folder < other.folder : stem < other.stem;
    }
    bool operator==(const SetName& other) const { return folder == other.folder && stem == other.stem; }
    std::string in_folder(const std::string& file) const { return folder + "/" + file; }
    std::string lock() const { return in_folder("." + stem + ".quorvat-lock"); }
    std::string journal() const { return in_folder("." + stem + ".quorvat-set"); }
    std::string temporary_prefix() const { return "." + stem + ".quorvat-"; }
};

// An exclusive lock on a set's lock file. The file is removed on release; a waiter that
// then holds a lock on the removed file sees that the name no longer leads to it and
// tries again, so that two processes never both hold the lock of one name.
class SetLock {
public:
    explicit SetLock(const std::string& path) : path_(path) {
        auto deadline = std::chrono::steady_clock::now() + max_lock_wait;
        while (true) {
            int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) return;  // a folder that may not be written: the writes will say so
            while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                if (errno == EINTR) continue;
                if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() > deadline) {
                    timed_out_ = errno == EWOULDBLOCK;
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            struct stat held {}, named {};
            if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino) {
                fd_ = fd;
                return;
            }
            ::close(fd);
        }
    }
    ~SetLock() {
        if (fd_ < 0) return;
        ::unlink(path_.c_str());
        ::close(fd_);
    }
    SetLock(const SetLock&) = delete;
    SetLock& operator=(const SetLock&) = delete;
    bool held() const { return fd_ >= 0; }
    bool timed_out() const { return timed_out_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool timed_out_ = false;
};

// Completes the renames recorded in the journal of a writer that died among them: the
// temporaries still present go to their names, so the set is the dead run's whole. A
// file was put in place by exchanging it with the old one, whose name it then took: a
// temporary that is no longer the recorded file is that old file, and goes.
void complete_interrupted_set(const SetName& set) {
    std::string text;
    int error_number = 0;
    const std::string journal = set.journal();
    FileRead read = read_bounded_file(journal, max_journal_bytes, text, error_number);
    if (read == FileRead::missing) return;
    std::size_t start = 0;
    while (read == FileRead::ok && start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a journal is renamed into place whole: never cut
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::string temporary = line.substr(0, tab), target = line.substr(tab + 1);
        std::size_t second = target.find('\t');
        unsigned long long inode = 0;  // 0: a journal without them, of an older version
        if (second != std::string::npos) {
            inode = std::strtoull(target.c_str() + second + 1, nullptr, 10);
            target.resize(second);
        }
        // Only names of this set in this folder: a journal is no way to move other files.
        if (!starts_with(temporary, set.temporary_prefix()) || !ends_with(temporary, ".tmp") || target.empty() ||
            temporary.find('/') != std::string::npos || target.find('/') != std::string::npos)
            continue;
        struct stat info {};
        if (inode != 0 && ::lstat(set.in_folder(temporary).c_str(), &info) == 0 && info.st_ino != inode)
            ::unlink(set.in_folder(temporary).c_str());
        else
            ::rename(set.in_folder(temporary).c_str(), set.in_folder(target).c_str());
    }
    ::unlink(journal.c_str());
}

// Removes the temporaries of dead runs: those of this set (whose writer would hold the
// lock if it were alive) and those of the older unnamed form whose process is gone.
void remove_stale_temporaries(const SetName& set) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(set.folder.c_str()), ::closedir);
    if (!dir) return;
    const std::string prefix = set.temporary_prefix();
    std::vector<std::string> stale;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (!ends_with(name, ".tmp")) continue;
        if (starts_with(name, prefix)) {
            stale.push_back(name);
        } else if (starts_with(name, ".quorvat-")) {
            long pid = std::strtol(name.c_str() + 9, nullptr, 10);
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(name);
        }
    }
    for (const std::string& name : stale) ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
}

// What a result's name leads to now: whether it is the protected file (through links
// too), and the errno of an existing file there that must not be replaced, or 0. A
// read-only old result is kept as the user made it. One lstat per name: a set is dozens.
struct ExistingFile {
    bool present = false;
    bool regular = false;  // a file itself, not a link to one
    bool is_protected = false;
    int refusal = 0;
};

ExistingFile existing_file(const std::string& name, const std::string& protected_path, const struct stat* protected_info) {
    ExistingFile out;
    out.is_protected = !protected_path.empty() && name == protected_path;
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0) {
        out.refusal = errno == ENOENT ? 0 : errno;
        return out;
    }
    out.present = true;
    out.regular = S_ISREG(info.st_mode);
    struct stat target = info;
    if (S_ISLNK(info.st_mode) && ::stat(name.c_str(), &target) != 0) target = info;
    if (protected_info && target.st_dev == protected_info->st_dev && target.st_ino == protected_info->st_ino)
        out.is_protected = true;
    if (S_ISDIR(info.st_mode))
        out.refusal = EISDIR;
    else if (S_ISREG(info.st_mode) && ::access(name.c_str(), W_OK) != 0)
        out.refusal = errno;
    return out;
}

// Creates a new temporary file of name's set beside it (0666 less the umask, as fopen
// would); returns its descriptor or -1 with errno set.
int create_temporary(const std::string& name, std::string& temporary) {
    static unsigned counter = 0;
    SetName set(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = set.in_folder(set.temporary_prefix() + std::to_string(::getpid()) + "-" +
                                  std::to_string(counter++) + ".tmp");
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// A new temporary for name with its inode; -1 with errno set and temporary empty.
int open_temporary(const std::string& name, std::string& temporary, unsigned long long& inode) {
    int fd = create_temporary(name, temporary);
    if (fd < 0) {
        int error = errno;
        temporary.clear();
        errno = error;
        return -1;
    }
    struct stat info {};
    inode = ::fstat(fd, &info) == 0 ? info.st_ino : 0;
    return fd;
}

// Writes one temporary file; 0 or the errno of the failure.
int write_temporary(const PendingFile& file, std::string& temporary, unsigned long long& inode) {
    int fd = open_temporary(file.name, temporary, inode);
    return fd < 0 ? errno : write_through_descriptor(fd, file);
}

// A file of the group that goes in place through a temporary.
struct Replacement {
    std::size_t index;  // in the group
    std::string temporary;
    unsigned long long inode = 0;
};

// The journal of the renames to come, put in place whole by a rename of its own.
int write_journal(const SetName& set, const std::vector<Replacement>& replaced, const std::vector<PendingFile>& files,
                  std::string& journal_temporary) {
    std::string text;
    for (const Replacement& r : replaced)
        text += file_of(r.temporary) + "\t" + file_of(files[r.index].name) + "\t" + std::to_string(r.inode) + "\n";
    PendingFile journal{set.in_folder(set.stem + ".journal"), [&text](std::FILE* f) {
                            return std::fwrite(text.data(), 1, text.size(), f) == text.size();
                        }};
    unsigned long long inode = 0;
    int error = write_temporary(journal, journal_temporary, inode);
    if (error == 0 && ::rename(journal_temporary.c_str(), set.journal().c_str()) != 0) error = errno;
    if (error != 0 && !journal_temporary.empty()) ::unlink(journal_temporary.c_str());
    return error;
}

}  // namespace

int write_through_descriptor(int fd, const PendingFile& file) {
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

void set_result_rename_hook(void (*hook)(std::size_t renamed)) { rename_hook = hook; }

ResultSetLock::ResultSetLock(const std::string& name) {
    SetName set(name);
    SetLock lock(set.lock());
    if (!lock.held()) return;
    complete_interrupted_set(set);
    remove_stale_temporaries(set);  // a live writer would hold the lock
    path_ = set.lock();
    fd_ = lock.release();
}

ResultSetLock::~ResultSetLock() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
}

bool write_files_all_or_nothing(const std::vector<PendingFile>& files, const std::string& protected_path,
                                LogSink& log) {
    struct stat protected_info {};
    const bool protected_exists = !protected_path.empty() && ::stat(protected_path.c_str(), &protected_info) == 0;
    std::vector<ExistingFile> existing;
    for (const PendingFile& file : files) {
        existing.push_back(existing_file(file.name, protected_path, protected_exists ? &protected_info : nullptr));
        if (existing.back().is_protected) {
            log_message(log, "O arquivo de resultado %s é o próprio netlist: nenhum arquivo foi gravado.",
                        file.name.c_str());
            return false;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (int error = existing[i].refusal) {
            log_message(log, "Erro ao gravar o arquivo %s: %s", files[i].name.c_str(), error_reason(error));
            return false;
        }
    }
    if (files.empty()) return true;

    // Every set of the group locked, in one order for all processes: no two writers wait
    // for each other. Under its lock a set's interrupted renames are completed and the
    // temporaries of dead runs removed.
    std::vector<SetName> sets;
    for (const PendingFile& file : files) sets.emplace_back(file.name);
    std::sort(sets.begin(), sets.end());
    sets.erase(std::unique(sets.begin(), sets.end()), sets.end());
    std::vector<std::unique_ptr<SetLock>> locks;
    for (const SetName& set : sets) {
        locks.push_back(std::make_unique<SetLock>(set.lock()));
        if (locks.back()->timed_out()) {
            log_message(log, "Erro ao gravar o arquivo %s: outro processo grava os mesmos resultados há mais de %d s",
                        files.front().name.c_str(), static_cast<int>(max_lock_wait.count()));
            return false;
        }
        if (!locks.back()->held()) continue;
        complete_interrupted_set(set);
        remove_stale_temporaries(set);
    }

    // Each file is compared with its old version as it is written: one whose content is
    // unchanged stays as it is (with this run's time), and only the others go through
    // temporaries.
    std::vector<Replacement> replaced;
    std::vector<std::size_t> unchanged;
    auto remove_temporaries = [&](std::size_t from) {
        for (std::size_t k = from; k < replaced.size(); ++k) ::unlink(replaced[k].temporary.c_str());
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        Replacement r{i, {}, 0};
        int error = 0;
        const int old_fd = existing[i].regular ? ::open(files[i].name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (old_fd >= 0) {
            const ComparedWrite w =
                write_if_changed(files[i], old_fd, [&] { return open_temporary(files[i].name, r.temporary, r.inode); });
            if (w.unchanged) unchanged.push_back(i);
            error = w.error;
        } else {
            error = write_temporary(files[i], r.temporary, r.inode);
        }
        if (!r.temporary.empty()) replaced.push_back(r);
        if (error != 0) {
            remove_temporaries(0);
            log_message(log, "Erro ao gravar o arquivo %s: %s", files[i].name.c_str(), error_reason(error));
            return false;
        }
    }
    // A set of several files records its renames first, so that a kill among them is
    // completed by the next run instead of leaving halves of two runs.
    const bool journaled = replaced.size() > 1 && sets.size() == 1 && locks.front()->held();
    if (journaled) {
        std::string journal_temporary;
        if (int error = write_journal(sets.front(), replaced, files, journal_temporary)) {
            remove_temporaries(0);
            log_message(log, "Erro ao gravar o arquivo %s: %s", files.front().name.c_str(), error_reason(error));
            return false;
        }
    }
    for (std::size_t k = 0; k < replaced.size(); ++k) {
        const std::string& name = files[replaced[k].index].name;
        const std::string& temporary = replaced[k].temporary;
        // An old file is exchanged with the new one, then removed under the temporary's
        // name: replacing it by a rename makes ext4 write the new file's data back at once,
        // which costs more than the rest of the write. Where the file system cannot
        // exchange, a rename.
        if (existing[replaced[k].index].present &&
            ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, name.c_str(), RENAME_EXCHANGE) == 0) {
            if (rename_hook) rename_hook(k + 1);
            ::unlink(temporary.c_str());
            continue;
        }
        if (::rename(temporary.c_str(), name.c_str()) != 0) {
            int error = errno;
            remove_temporaries(k);
            if (journaled) ::unlink(sets.front().journal().c_str());
            log_message(log, "Erro ao gravar o arquivo %s: %s", name.c_str(), error_reason(error));
            return false;
        }
        if (rename_hook) rename_hook(k + 1);
    }
    for (std::size_t i : unchanged) ::utimensat(AT_FDCWD, files[i].name.c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
    if (journaled) ::unlink(sets.front().journal().c_str());
    return true;
}

}  // namespace quorvat
