// The simulator writes files of its own into the current directory (the BSIM3 model
// check writes "b3v33check.log" on every operating point). Its runs happen inside a
// private temporary directory, which is removed afterwards with whatever it holds.
#pragma once

#include <string>

namespace quorvat::oppoint {

class ScratchDirectory {
public:
    /// Moves the process into a fresh directory under $TMPDIR (or /tmp). When that
    /// cannot be made, the process stays where it is.
    ScratchDirectory();
    /// Back to the directory of before; the scratch directory and its files go.
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

private:
    int previous_ = -1;  // descriptor of the directory to return to
    std::string path_;
};

}  // namespace quorvat::oppoint
