// All-or-nothing writing of a group of files: each file goes to a temporary file in its
// own folder, and the temporaries are renamed into place (exchanged with the old file,
// which then goes, where there is one) only when every one of them was written and
// closed without error. On any error nothing existing is changed. A file whose old
// version already holds exactly its content is left in place, with the run's time: a run
// that repeats the last one's results creates, renames and removes nothing.
//
// A group is a set: its files share a base name (teste.n1, teste.d1, ... share "teste").
// Writers of one base name take turns under a lock on it, so that two runs never
// interleave their renames. Before its renames a writer records them in a journal beside
// the files; a run killed among its renames leaves the journal, and the next writer or
// reader of that base name completes the renames before anything else, so that a set is
// never left half replaced. Temporaries of dead runs are removed by the next writer.
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

/// Writes file's contents through the open descriptor fd, which it closes; 0 or the
/// errno of the failure (EIO where the stream failed without one).
int write_through_descriptor(int fd, const PendingFile& file);

/// Holds the lock of the set that the file name belongs to (by its base name) for its
/// lifetime, after completing the renames of a writer that died among them and removing
/// its temporaries. A reader holds it while it reads a numerator and its denominator, so
/// that it never reads halves of two runs. Where no lock can be made (a folder that may
/// not be written) it holds nothing and the reader reads as before.
class ResultSetLock {
public:
    explicit ResultSetLock(const std::string& name);
    ~ResultSetLock();
    ResultSetLock(const ResultSetLock&) = delete;
    ResultSetLock& operator=(const ResultSetLock&) = delete;

private:
    std::string path_;
    int fd_ = -1;
};

/// For tests: called after each rename of a set (after an exchange, before the old file
/// goes) with the count renamed so far, so that a test can end the process there as a
/// kill would. Null: none.
void set_result_rename_hook(void (*hook)(std::size_t renamed));

}  // namespace quorvat
