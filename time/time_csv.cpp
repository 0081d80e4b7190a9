#include "time/time_csv.h"

#include <fstream>

#include "time/number_text.h"

namespace quorvat {

namespace {

std::string csv_field(const std::string& name) {
    if (name.find_first_of(",\"\n\r") == std::string::npos) return name;
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

bool write_time_csv(const std::string& path, const std::vector<std::string>& names, const std::vector<double>& times,
                    const std::vector<std::vector<double>>& columns) {
    std::ofstream csv(path, std::ios::binary | std::ios::trunc);
    csv << "t";
    for (const std::string& name : names) csv << ',' << csv_field(name);
    csv << '\n';
    for (std::size_t i = 0; i < times.size(); ++i) {
        csv << number_text(times[i], 17);
        for (const std::vector<double>& column : columns) csv << ',' << number_text(column[i], 17);
        csv << '\n';
    }
    csv.flush();
    return static_cast<bool>(csv);
}

}  // namespace quorvat
