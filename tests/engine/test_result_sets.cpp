// Result sets replaced as a unit: a run killed among its renames is completed by the next
// writer or reader of the same base name, temporaries of dead runs are removed, and
// concurrent runs never leave halves of two runs to a reader; an unchanged file stays.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/result_files.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::ScratchDir;

struct Lines : LogSink {
    std::string text;
    void log(std::string_view line) override { (text += line) += '\n'; }
};

// The set of base with n pairs, each file holding the run's tag.
std::vector<PendingFile> set_of(const std::string& base, int n, const std::string& tag) {
    std::vector<PendingFile> files;
    for (int k = 1; k <= n; ++k)
        for (const char* half : {".n", ".d"}) {
            std::string text = tag + "\n";
            files.push_back({base + half + std::to_string(k), [text](std::FILE* f) {
                                 return std::fputs(text.c_str(), f) >= 0;
                             }});
        }
    return files;
}

std::vector<std::string> hidden_files(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string()[0] == '.') names.push_back(entry.path().filename().string());
    return names;
}

// Runs the writer in a child that ends (as SIGKILL would, with no clean-up) right after
// its renamed-th rename; 0 renames: killed while writing its temporaries.
void killed_run(const std::string& base, int pairs, const std::string& tag, std::size_t renamed) {
    static std::size_t kill_after = 0;
    kill_after = renamed;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        set_result_rename_hook([](std::size_t done) {
            if (done == kill_after) ::_exit(9);
        });
        Lines log;
        std::vector<PendingFile> files = set_of(base, pairs, tag);
        if (renamed == 0) files.back().write = [](std::FILE*) -> bool { ::_exit(9); };
        write_files_all_or_nothing(files, "", log);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
}

TEST(ResultSets, RunKilledAmongItsRenamesIsCompletedByTheNextReaderOrWriter) {
    const int pairs = 3;
    for (std::size_t renamed = 0; renamed < 2 * pairs; ++renamed) {
        ScratchDir dir;
        std::string base = dir.file("r");
        Lines log;
        ASSERT_TRUE(write_files_all_or_nothing(set_of(base, pairs, "velho"), "", log));
        killed_run(base, pairs, "novo", renamed);
        EXPECT_FALSE(hidden_files(dir.path()).empty()) << renamed;  // what the kill left
        // Killed before its journal: the old set whole. After: the new set, once the next
        // reader of "r" has passed, and nothing of the dead run left.
        { ResultSetLock reader(base + ".n1"); }
        const std::string whole = renamed == 0 ? "velho\n" : "novo\n";
        for (int k = 1; k <= pairs; ++k) {
            EXPECT_EQ(read_file(base + ".n" + std::to_string(k)), whole) << renamed;
            EXPECT_EQ(read_file(base + ".d" + std::to_string(k)), whole) << renamed;
        }
        EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{}) << renamed;
    }
    // A writer removes the temporaries of dead runs, of the older unnamed form too, and
    // keeps those of a live process.
    ScratchDir dir;
    pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string live = ".quorvat-" + std::to_string(::getpid()) + "-0.tmp";
    for (const std::string& name : {std::string(".r.quorvat-1-0.tmp"), ".quorvat-" + std::to_string(dead) + "-0.tmp", live})
        testing::write_file(dir.file(name), "x");
    Lines log;
    ASSERT_TRUE(write_files_all_or_nothing(set_of(dir.file("r"), 1, "novo"), "", log));
    EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{live});
}

// A file whose old version holds its content stays the same file; any other content, a
// prefix or an extension of the old one, or a change past the stream's buffers, replaces
// it whole; a link at the name is replaced, its target left alone.
TEST(ResultSets, UnchangedFilesStayAndOthersAreReplacedWhole) {
    const std::string big(200000, 'x');
    struct Case {
        std::string old_text, new_text;
        bool link;
    } cases[] = {{"1.5\n2\n", "1.5\n2\n", false}, {"1.5\n", "1.5\n2\n", false}, {"1.5\n2\n", "1.5\n", false},
                 {"1.5\n2\n", "1.6\n2\n", false}, {big + "a", big + "b", false}, {"", "1\n", false},
                 {"1\n", "1\n", true}};
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::string name = dir.file("r.n1"), target = dir.file("outro");
        testing::write_file(c.link ? target : name, c.old_text);
        if (c.link) fs::create_symlink(target, name);
        struct stat before {};
        ::lstat(name.c_str(), &before);
        Lines log;
        std::vector<PendingFile> files = {{name, [&](std::FILE* f) {
                                               return std::fwrite(c.new_text.data(), 1, c.new_text.size(), f) ==
                                                      c.new_text.size();
                                           }}};
        ASSERT_TRUE(write_files_all_or_nothing(files, "", log)) << log.text;
        struct stat after {};
        ::lstat(name.c_str(), &after);
        EXPECT_EQ(read_file(name), c.new_text);
        EXPECT_TRUE(S_ISREG(after.st_mode));
        EXPECT_EQ(after.st_ino == before.st_ino, c.old_text == c.new_text && !c.link) << c.new_text.size();
        if (c.link) {
            EXPECT_EQ(read_file(target), c.old_text);
        }
        EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{});
    }
}

// Writers of one set with different contents in parallel; a reader under the lock only
// ever sees pairs of one run.
TEST(ResultSets, ConcurrentRunsNeverMixAPair) {
    ScratchDir dir;
    std::string base = dir.file("r");
    Lines log;
    ASSERT_TRUE(write_files_all_or_nothing(set_of(base, 2, "0"), "", log));
    std::vector<pid_t> writers;
    for (int w = 1; w <= 4; ++w) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Lines quiet;
            bool ok = true;
            for (int run = 0; run < 40; ++run)
                ok = write_files_all_or_nothing(set_of(base, 2, std::to_string(w * 100 + run)), "", quiet) && ok;
            ::_exit(ok ? 0 : 1);
        }
        writers.push_back(child);
    }
    int mixed = 0;
    for (int read = 0; read < 200; ++read) {
        ResultSetLock lock(base + ".n1");
        std::string first = read_file(base + ".n1");
        for (const char* name : {".d1", ".n2", ".d2"}) mixed += read_file(base + name) != first;
    }
    for (pid_t child : writers) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace quorvat
