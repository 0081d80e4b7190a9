#include "time/time_csv.h"

#include <cstdio>

#include "engine/result_files.h"
#include "time/number_text.h"

namespace quorvat {

namespace {

std::string csv_field(const std::string& name) {
    if (name.find_first_of(",\"\n\r") == std::string::npos) return name;
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

class SilentLog : public LogSink {
public:
    void log(std::string_view) override {}
};

}  // namespace

std::string time_csv_text(const std::vector<std::string>& names, const std::vector<double>& times,
                          const std::vector<std::vector<double>>& columns) {
    std::string csv = "t";
    for (const std::string& name : names) csv += ',' + csv_field(name);
    csv += '\n';
    for (std::size_t i = 0; i < times.size(); ++i) {
        csv += number_text(times[i], 17);
        for (const std::vector<double>& column : columns) csv += ',' + number_text(column[i], 17);
        csv += '\n';
    }
    return csv;
}

bool write_time_csv(const std::string& path, const std::vector<std::string>& names, const std::vector<double>& times,
                    const std::vector<std::vector<double>>& columns, LogSink& log) {
    std::string text = time_csv_text(names, times, columns);
    auto write = [&text](std::FILE* file) { return std::fwrite(text.data(), 1, text.size(), file) == text.size(); };
    return write_files_all_or_nothing({PendingFile{path, write}}, std::string(), log);
}

bool write_time_csv(const std::string& path, const std::vector<std::string>& names, const std::vector<double>& times,
                    const std::vector<std::vector<double>>& columns) {
    SilentLog quiet;
    return write_time_csv(path, names, times, columns, quiet);
}

}  // namespace quorvat
