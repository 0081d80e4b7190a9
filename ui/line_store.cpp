#include "ui/line_store.h"

#include <algorithm>
#include <iterator>

namespace quorvat {

namespace {

// A chunk closes at this many lines or bytes of text; its memory is then trimmed to what
// it holds, so that a closed chunk costs its text and four bytes per line.
constexpr std::size_t chunk_lines = 4096;
constexpr std::size_t chunk_bytes = std::size_t(1) << 17;

}  // namespace

LineStore::LineStore() {
    chunks_.emplace_back();
    chunks_.back().ends.push_back(0);
    first_.push_back(0);
    size_ = 1;
}

std::size_t LineStore::chunk_of(std::ptrdiff_t index) const {
    auto after = std::upper_bound(first_.begin(), first_.end(), index);
    return static_cast<std::size_t>(std::distance(first_.begin(), after)) - 1;
}

std::string_view LineStore::line(std::ptrdiff_t index) const {
    if (index < 0 || index >= size_) return {};
    std::size_t chunk = chunk_of(index);
    return chunks_[chunk].line(static_cast<std::size_t>(index - first_[chunk]));
}

void LineStore::append_to(std::vector<Chunk>& chunks, std::string_view text) {
    if (chunks.empty() || chunks.back().ends.size() >= chunk_lines ||
        (!chunks.back().ends.empty() && chunks.back().text.size() + text.size() > chunk_bytes)) {
        if (!chunks.empty()) {
            chunks.back().text.shrink_to_fit();
            chunks.back().ends.shrink_to_fit();
        }
        chunks.emplace_back();
        chunks.back().text.reserve(std::max(chunk_bytes, text.size()));
        chunks.back().ends.reserve(chunk_lines);
    }
    Chunk& last = chunks.back();
    last.text.append(text);
    last.ends.push_back(static_cast<std::uint32_t>(last.text.size()));
}

void LineStore::append(std::string_view text) {
    if (size_ == 1 && text_bytes_ == 0) {
        replace(0, 0, {std::string(text)});
        return;
    }
    std::size_t chunks_before = chunks_.size();
    append_to(chunks_, text);
    if (chunks_.size() != chunks_before) first_.push_back(size_);
    ++size_;
    text_bytes_ += text.size();
}

void LineStore::replace(std::ptrdiff_t first, std::ptrdiff_t last, const std::vector<std::string>& lines) {
    first = std::clamp<std::ptrdiff_t>(first, 0, size_ - 1);
    last = std::clamp<std::ptrdiff_t>(last, first, size_ - 1);
    const std::size_t first_chunk = chunk_of(first), last_chunk = chunk_of(last);

    // The chunks from the first to the last touched one are made anew: their lines before
    // first, the new lines, their lines after last.
    std::vector<Chunk> made;
    std::size_t removed_bytes = 0;
    const Chunk& head = chunks_[first_chunk];
    for (std::size_t k = 0; k < static_cast<std::size_t>(first - first_[first_chunk]); ++k)
        append_to(made, head.line(k));
    for (std::size_t c = first_chunk; c <= last_chunk; ++c) removed_bytes += chunks_[c].text.size();
    for (const std::string& text : lines) append_to(made, text);
    if (lines.empty()) append_to(made, {});
    const Chunk& tail = chunks_[last_chunk];
    for (std::size_t k = static_cast<std::size_t>(last - first_[last_chunk]) + 1; k < tail.ends.size(); ++k)
        append_to(made, tail.line(k));

    std::size_t added_bytes = 0;
    std::ptrdiff_t added_lines = 0;
    for (const Chunk& chunk : made) {
        added_bytes += chunk.text.size();
        added_lines += static_cast<std::ptrdiff_t>(chunk.ends.size());
    }
    const std::ptrdiff_t removed_lines = (last_chunk + 1 < chunks_.size() ? first_[last_chunk + 1] : size_) - first_[first_chunk];
    // Only the store's last chunk stays open for appending; the others are trimmed.
    if (last_chunk + 1 < chunks_.size()) {
        made.back().text.shrink_to_fit();
        made.back().ends.shrink_to_fit();
    }

    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(first_chunk),
                  chunks_.begin() + static_cast<std::ptrdiff_t>(last_chunk) + 1);
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(first_chunk), std::make_move_iterator(made.begin()),
                   std::make_move_iterator(made.end()));
    size_ += added_lines - removed_lines;
    text_bytes_ += added_bytes;
    text_bytes_ -= removed_bytes;
    renumber(first_chunk);
}

void LineStore::renumber(std::size_t chunk) {
    first_.resize(chunks_.size());
    std::ptrdiff_t next = chunk == 0 ? 0 : first_[chunk - 1] + static_cast<std::ptrdiff_t>(chunks_[chunk - 1].ends.size());
    for (std::size_t c = chunk; c < chunks_.size(); ++c) {
        first_[c] = next;
        next += static_cast<std::ptrdiff_t>(chunks_[c].ends.size());
    }
}

std::size_t LineStore::memory_bytes() const {
    std::size_t bytes = sizeof *this + chunks_.capacity() * sizeof(Chunk) + first_.capacity() * sizeof(std::ptrdiff_t);
    for (const Chunk& chunk : chunks_)
        bytes += chunk.text.capacity() + chunk.ends.capacity() * sizeof(std::uint32_t);
    return bytes;
}

}  // namespace quorvat
