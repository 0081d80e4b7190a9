#include "spice/import_report.h"

#include <algorithm>

namespace quorvat::spice {

std::vector<std::string> import_note_lines(const ImportResult& result) {
    std::vector<std::string> lines;
    for (const std::string& note : result.notes) lines.push_back("Importação: " + note);
    for (const std::string& warning : result.warnings) lines.push_back("Importação: aviso: " + warning);
    return lines;
}

std::vector<std::string> import_header_list_lines(const ImportResult& result) {
    std::vector<std::string> lines;
    std::string group;  // the caption of the list being read, without "* " and ":"
    const std::string& text = result.netlist;
    std::size_t start = text.find('\n');  // the title line is not a comment
    while (start != std::string::npos && start + 1 < text.size()) {
        ++start;
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line(text.data() + start, end - start);
        start = end < text.size() ? end : std::string::npos;
        if (line.empty() || line[0] != '*') break;  // the elements follow the header
        if (line.substr(0, 4) == "*   " && !group.empty())
            lines.push_back("Importação: " + group + ": " + std::string(line.substr(4)));
        else if (line.size() > 3 && line.back() == ':')
            group = std::string(line.substr(2, line.size() - 3));
        else
            group.clear();
    }
    return lines;
}

std::vector<std::string> import_refusal_lines(const ImportResult& result, const std::string& path) {
    std::vector<std::string> lines{"Deck SPICE " + path + " recusado:"};
    for (const std::string& refusal : result.refusals) lines.push_back("  " + refusal);
    return lines;
}

bool parse_op_amp_list(std::string_view text, std::vector<OpAmpSubcircuit>& op_amps, std::string& error) {
    std::vector<OpAmpSubcircuit> parsed;
    constexpr std::string_view separators = " \t;";
    for (std::size_t start = text.find_first_not_of(separators); start != std::string_view::npos;
         start = text.find_first_not_of(separators, start)) {
        std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        std::string_view item = text.substr(start, end - start);
        OpAmpSubcircuit op_amp;
        if (!parse_op_amp(item, op_amp, error)) {
            error = std::string(item) + ": " + error;
            return false;
        }
        parsed.push_back(op_amp);
        start = end;
    }
    op_amps = std::move(parsed);
    return true;
}

std::string op_amp_list_text(const std::vector<OpAmpSubcircuit>& op_amps) {
    std::string text;
    for (const OpAmpSubcircuit& op_amp : op_amps) {
        if (!text.empty()) text += ' ';
        text += op_amp.name + ":" + op_amp.plus + "," + op_amp.minus + "," + op_amp.output;
    }
    return text;
}

}  // namespace quorvat::spice
