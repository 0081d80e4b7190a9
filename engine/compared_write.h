// Writing a file whose old version may already hold the same bytes: the new content is
// compared with the old file as it is produced and, only from the first difference on,
// written to a new file (the equal part copied over). A run that repeats the last run's
// results thus creates, renames and removes no file: on a file system that keeps
// deleted inodes from reuse for a while, that churn cost more than the analysis.
#pragma once

#include <functional>

#include "engine/result_files.h"

namespace quorvat {

struct ComparedWrite {
    bool unchanged = false;  // the old file holds exactly the content: nothing was created
    int error = 0;           // errno of a failure to create or write the new file
};

/// Produces file's content and compares it with the file open for reading at old_fd
/// (from its start; closed here). Where they differ, create() is called once for the
/// descriptor of a new empty file (or -1 with errno set), which receives the whole
/// content and is closed. An old file that cannot be read counts as different.
ComparedWrite write_if_changed(const PendingFile& file, int old_fd, const std::function<int()>& create);

}  // namespace quorvat
