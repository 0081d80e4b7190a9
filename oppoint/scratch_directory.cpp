#include "oppoint/scratch_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quorvat::oppoint {

ScratchDirectory::ScratchDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorvat-simulador-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) return;
    path_ = name.data();
    previous_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (previous_ < 0 || ::chdir(path_.c_str()) != 0) {
        if (previous_ >= 0) ::close(previous_);
        previous_ = -1;
        ::rmdir(path_.c_str());
        path_.clear();
    }
}

ScratchDirectory::~ScratchDirectory() {
    if (path_.empty()) return;
    if (::fchdir(previous_) != 0) {
        // The old directory is gone: the root is a directory that stays.
        if (::chdir("/") != 0) return;
    }
    ::close(previous_);
    // The simulator writes plain files only; anything else is left where it is.
    if (DIR* dir = ::opendir(path_.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") ::unlink((path_ + "/" + name).c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(path_.c_str());
}

}  // namespace quorvat::oppoint
