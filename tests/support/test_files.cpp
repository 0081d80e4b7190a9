#include "support/test_files.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <vector>

namespace quorvat::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::random_device device;
    for (;;) {
        path_ = fs::temp_directory_path() / ("quorvat-test-" + std::to_string(device()));
        if (fs::create_directory(path_)) break;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::write(const std::string& name, const std::string& text) const {
    std::string full = file(name);
    write_file(full, text);
    return full;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string source_path(const std::string& relative) {
    return std::string(QUORVAT_SOURCE_DIR) + "/" + relative;
}

namespace {
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool lines_equal(const std::string& actual, const std::string& expected) {
    if (actual == expected) return true;
    static const std::regex elapsed("Tempo usado: [0-9]+ s");
    return std::regex_match(actual, elapsed) && std::regex_match(expected, elapsed);
}
}  // namespace

::testing::AssertionResult same_lines(const std::string& actual, const std::string& expected) {
    std::vector<std::string> a = split_lines(actual), e = split_lines(expected);
    for (std::size_t i = 0; i < std::max(a.size(), e.size()); ++i) {
        std::string got = i < a.size() ? a[i] : "<end of text>";
        std::string want = i < e.size() ? e[i] : "<end of text>";
        if (!lines_equal(got, want))
            return ::testing::AssertionFailure() << "line " << i + 1 << " differs:\n  actual:   \""
                                                 << got << "\"\n  expected: \"" << want << "\"";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult matches_golden(const std::string& text, const std::string& golden_relative) {
    std::string golden = source_path(golden_relative);
    const char* update = std::getenv("QUORVAT_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        write_file(golden, text);
        return ::testing::AssertionSuccess();
    }
    if (!fs::exists(golden)) return ::testing::AssertionFailure() << "missing golden file " << golden;
    return same_lines(text, read_file(golden));
}

}  // namespace quorvat::testing
