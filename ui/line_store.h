// The lines of the message log, stored compactly: their UTF-8 text in chunks of a few
// thousand lines, each line ended by one 32-bit offset. Appending a line copies its text
// and nothing else; an edit rewrites only the chunks that hold the lines it touches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvat {

class LineStore {
public:
    /// One empty line, as an empty text editor holds.
    LineStore();

    /// The number of lines, at least 1.
    std::ptrdiff_t size() const { return size_; }
    /// Line index (0 to size() - 1), without its line break.
    std::string_view line(std::ptrdiff_t index) const;

    /// Adds a last line. A store that holds just one empty line takes the text in that line.
    void append(std::string_view text);
    /// Replaces lines first to last (inclusive) with the given lines, at least one.
    void replace(std::ptrdiff_t first, std::ptrdiff_t last, const std::vector<std::string>& lines);

    /// Bytes of the lines' text.
    std::size_t text_bytes() const { return text_bytes_; }
    /// Bytes that the store holds in memory, text included.
    std::size_t memory_bytes() const;

private:
    struct Chunk {
        std::string text;                 // the lines' text, one after the other
        std::vector<std::uint32_t> ends;  // end of each line in text
        std::string_view line(std::size_t k) const {
            std::size_t begin = k == 0 ? 0 : ends[k - 1];
            return std::string_view(text).substr(begin, ends[k] - begin);
        }
    };

    /// The chunk that holds line index.
    std::size_t chunk_of(std::ptrdiff_t index) const;
    /// Appends text as a new last line of chunks, opening a new chunk when the last is full.
    static void append_to(std::vector<Chunk>& chunks, std::string_view text);
    /// Recounts the first line of every chunk from chunk onwards.
    void renumber(std::size_t chunk);

    std::vector<Chunk> chunks_;
    std::vector<std::ptrdiff_t> first_;  // index of each chunk's first line
    std::ptrdiff_t size_ = 0;
    std::size_t text_bytes_ = 0;
};

}  // namespace quorvat
