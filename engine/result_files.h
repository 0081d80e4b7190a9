// All-or-nothing writing of a group of files: each file goes to a temporary file in its
// own folder, and the temporaries are renamed into place only when every one of them was
// written and closed without error. On any error nothing existing is changed.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/log.h"

namespace quorvat {

struct PendingFile {
    std::string name;
    std::function<bool(std::FILE*)> write;  // writes the content; false on a write error
};

/// Writes every file of files, or none. A name that is protected_path itself (the
/// netlist, by name or by identity) refuses the whole group before anything is written.
/// An existing file of one of the names that is a folder or that may not be written is
/// refused too, and a symbolic link at a name is replaced, never written through.
/// Returns false after logging one line ("Erro ao gravar o arquivo %s: %s" with the
/// reason in Portuguese).
bool write_files_all_or_nothing(const std::vector<PendingFile>& files, const std::string& protected_path,
                                LogSink& log);

}  // namespace quorvat
