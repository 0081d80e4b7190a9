#include "spice/deck_lines.h"

#include <filesystem>

#include "engine/error_reason.h"
#include "engine/file_read.h"
#include "spice/values.h"

namespace quorvat::spice {

namespace {

constexpr std::size_t max_file_bytes = 16u << 20;
constexpr int max_include_depth = 16;
constexpr std::size_t max_included_bytes = 64u << 20;  // all inclusions of one deck together
constexpr int max_inclusions = 10000;  // files included by one deck, a file included twice counted twice
// Lines of a deck with its inclusions: twice the elements an expansion may give, short of
// the gigabyte that millions of statements would take.
constexpr std::size_t max_deck_lines = 200000;
const char* const included_too_large = "arquivos incluídos grandes demais (mais de 64 MiB ao todo)";

bool is_blank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\f' || ch == '\v'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// Cuts an end-of-line comment: from ";" on, or from a "$" followed by a blank or the end.
std::string_view without_comment(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ';') return text.substr(0, i);
        if (text[i] == '$' && (i + 1 == text.size() || is_blank(text[i + 1]))) return text.substr(0, i);
    }
    return text;
}

// The logical lines of one file: "*" lines and blank lines dropped, "+" lines appended
// to the line before them (comment lines may stand between the two).
std::vector<Origin> logical_lines(std::string_view text, const std::string& label, bool has_title, std::string* title,
                                  Diagnostics& diagnostics) {
    std::vector<Origin> lines;
    std::size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (has_title && number == 1) {
            if (title) *title = std::string(trim(raw));
            continue;
        }
        std::string_view line = trim(raw);
        if (line.empty() || line[0] == '*') continue;
        line = trim(without_comment(line));
        if (line.empty()) continue;
        if (line[0] == '+') {
            if (lines.empty()) {
                diagnostics.note(Origin{label, number, std::string(line)}, "continuação sem linha anterior, ignorada");
                continue;
            }
            lines.back().text += ' ';
            lines.back().text += trim(line.substr(1));
            continue;
        }
        lines.push_back(Origin{label, number, std::string(line)});
    }
    return lines;
}

// The words after the first, quotes removed.
std::vector<std::string> arguments(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size() && !is_blank(text[i])) ++i;
    while (i < text.size()) {
        while (i < text.size() && is_blank(text[i])) ++i;
        if (i >= text.size()) break;
        std::string word;
        if (text[i] == '"' || text[i] == '\'') {
            char quote = text[i++];
            while (i < text.size() && text[i] != quote) word += text[i++];
            ++i;
        } else {
            while (i < text.size() && !is_blank(text[i])) word += text[i++];
        }
        words.push_back(word);
    }
    return words;
}

class LineExpander {
public:
    LineExpander(const FileReader& reader, Diagnostics& diagnostics, std::vector<Origin>& out)
        : reader_(reader), diagnostics_(diagnostics), out_(out) {}

    // Appends the lines to the output, following inclusions; false after .end.
    bool expand(const std::vector<Origin>& lines, const std::filesystem::path& folder, int depth) {
        for (const Origin& line : lines) {
            if (full_) return true;
            std::string word = first_word(line.text);
            if (in_control_) {
                if (word == ".endc") in_control_ = false;
                continue;
            }
            if (word == ".end") return false;
            if (word == ".control") {
                in_control_ = true;
                diagnostics_.note(line, "bloco .control ... .endc ignorado");
            } else if (word == ".include" || word == ".inc" || word == ".incl") {
                std::vector<std::string> args = arguments(line.text);
                if (args.empty()) diagnostics_.refuse(line, "falta o nome do arquivo");
                else include(line, folder, args[0], "", depth);
            } else if (word == ".lib") {
                std::vector<std::string> args = arguments(line.text);
                if (args.size() >= 2) include(line, folder, args[0], args[1], depth);
                else if (args.size() == 1 && std::filesystem::is_regular_file(folder / args[0]))
                    include(line, folder, args[0], "", depth);
                // otherwise the start of a section of a library file read whole
            } else if (word == ".endl") {
                continue;
            } else if (out_.size() >= max_deck_lines) {
                full_ = true;
                diagnostics_.refuse(line, "deck grande demais (mais de " + std::to_string(max_deck_lines) +
                                              " linhas, inclusões somadas)");
            } else {
                out_.push_back(line);
            }
        }
        return true;
    }

private:
    void include(const Origin& line, const std::filesystem::path& folder, const std::string& name,
                 const std::string& section, int depth) {
        if (depth >= max_include_depth) {
            diagnostics_.refuse(line, "inclusões encadeadas demais");
            return;
        }
        std::filesystem::path path =
            (std::filesystem::path(name).is_absolute() ? std::filesystem::path(name) : folder / name).lexically_normal();
        // Refused before reading once the budget is spent, or when the file's size alone
        // would spend it: a deck of many inclusions of one big file must not read it each time.
        if (++inclusions_ > max_inclusions) {
            diagnostics_.refuse(line, "inclusões demais (mais de " + std::to_string(max_inclusions) + " arquivos)");
            return;
        }
        std::error_code no_size;
        std::uintmax_t size = std::filesystem::file_size(path, no_size);
        if (included_bytes_ >= max_included_bytes ||
            (!no_size && size > max_included_bytes - included_bytes_)) {
            included_bytes_ = max_included_bytes;
            diagnostics_.refuse(line, included_too_large);
            return;
        }
        std::string text, error;
        if (!reader_(path.string(), text, error)) {
            diagnostics_.refuse(line, error);
            return;
        }
        if (text.size() > max_included_bytes - included_bytes_) {
            included_bytes_ = max_included_bytes;
            diagnostics_.refuse(line, included_too_large);
            return;
        }
        included_bytes_ += text.size();
        std::vector<Origin> lines = logical_lines(text, name, false, nullptr, diagnostics_);
        if (!section.empty()) lines = section_lines(lines, section, line);
        bool control = in_control_;
        in_control_ = false;
        expand(lines, path.parent_path(), depth + 1);  // an .end inside ends only that file
        in_control_ = control;
    }

    // The lines between ".lib SECTION" and its ".endl".
    std::vector<Origin> section_lines(const std::vector<Origin>& lines, const std::string& section, const Origin& from) {
        std::vector<Origin> chosen;
        bool inside = false, found = false;
        for (const Origin& line : lines) {
            std::string word = first_word(line.text);
            std::vector<std::string> args = arguments(line.text);
            if (!inside && word == ".lib" && args.size() == 1 && lower(args[0]) == lower(section)) {
                inside = found = true;
            } else if (inside && word == ".endl") {
                inside = false;
            } else if (inside) {
                chosen.push_back(line);
            }
        }
        if (!found) diagnostics_.refuse(from, "seção " + section + " não encontrada");
        return chosen;
    }

    const FileReader& reader_;
    Diagnostics& diagnostics_;
    std::vector<Origin>& out_;
    bool in_control_ = false;
    std::size_t included_bytes_ = 0;
    int inclusions_ = 0;
    bool full_ = false;  // the deck's lines reached their limit: nothing more is read
};

}  // namespace

std::string first_word(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && !is_blank(text[end])) ++end;
    return lower(text.substr(0, end));
}

bool read_text_file(const std::string& path, std::string& text, std::string& error) {
    int error_number = 0;
    switch (read_bounded_file(path, max_file_bytes, text, error_number)) {
        case FileRead::ok: return true;
        case FileRead::missing: error = "arquivo " + path + " inexistente"; break;
        case FileRead::not_regular: error = path + " não é um arquivo comum"; break;
        case FileRead::too_large: error = "arquivo " + path + " grande demais (mais de 16 MiB)"; break;
        case FileRead::failed: error = "não foi possível ler " + path + ": " + error_reason(error_number); break;
    }
    return false;
}

void read_deck_lines(std::string_view text, const std::string& path, const FileReader& reader, DeckSource& deck,
                     Diagnostics& diagnostics) {
    std::vector<Origin> lines = logical_lines(text, "", true, &deck.title, diagnostics);
    LineExpander expander(reader, diagnostics, deck.lines);
    expander.expand(lines, std::filesystem::path(path).parent_path(), 0);
}

}  // namespace quorvat::spice
