#include "cli/output_files.h"

#include <sys/stat.h>

#include <memory>
#include <ostream>

#include "engine/text.h"

namespace quorvat::cli {

namespace {

class PrefixedLog : public LogSink {
public:
    PrefixedLog(const std::string& command, std::ostream& err) : command_(command), err_(err) {}
    void log(std::string_view line) override { err_ << "quorvat-cli " << command_ << ": " << to_utf8(line) << '\n'; }

private:
    const std::string& command_;
    std::ostream& err_;
};

bool same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

PendingFile bytes_file(const std::string& name, std::string bytes) {
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    return {name, [shared](std::FILE* file) {
                return std::fwrite(shared->data(), 1, shared->size(), file) == shared->size();
            }};
}

bool write_output_files(const std::string& command, const std::vector<PendingFile>& files,
                        const std::vector<std::string>& inputs, std::ostream& err) {
    for (const PendingFile& file : files)
        for (const std::string& input : inputs)
            if (same_file(file.name, input)) {
                err << "quorvat-cli " << command << ": " << to_utf8(file.name)
                    << " é um dos arquivos de entrada: nenhum arquivo foi gravado\n";
                return false;
            }
    PrefixedLog log(command, err);
    return write_files_all_or_nothing(files, "", log);
}

}  // namespace quorvat::cli
