// File helpers for tests: a scratch folder per test, whole-file reads and writes,
// golden-file comparison that prints the first differing line.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace quorvat::testing {

/// A fresh, empty folder removed at destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    /// Writes text to name inside the folder and returns the full path.
    std::string write(const std::string& name, const std::string& text) const;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);

/// The path of a file in the source tree (relative to its top folder).
std::string source_path(const std::string& relative);

/// Compares text with the golden file; QUORVAT_UPDATE_GOLDEN=1 rewrites the golden
/// instead. Lines matching "Tempo usado: <n> s" compare by pattern.
::testing::AssertionResult matches_golden(const std::string& text, const std::string& golden_relative);

/// Compares two multi-line texts and reports the first differing line.
::testing::AssertionResult same_lines(const std::string& actual, const std::string& expected);

}  // namespace quorvat::testing
