// A set of rows of a system of any size, as a bit set: the key of a minor.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvat::symbolic {

class RowSet {
public:
    RowSet() = default;
    explicit RowSet(int rows) : words_(static_cast<std::size_t>((rows + 63) / 64), 0) {}

    bool has(int row) const { return (words_[word(row)] >> (row % 64)) & 1u; }
    void insert(int row) { words_[word(row)] |= std::uint64_t{1} << (row % 64); }
    RowSet with(int row) const {
        RowSet grown(*this);
        grown.insert(row);
        return grown;
    }
    /// Whether every row of other is in this set.
    bool contains(const RowSet& other) const {
        for (std::size_t i = 0; i < words_.size(); ++i)
            if ((words_[i] & other.words_[i]) != other.words_[i]) return false;
        return true;
    }
    /// The rows 0..rows-1 that are not in this set.
    RowSet complement(int rows) const {
        RowSet other(rows);
        for (std::size_t i = 0; i < words_.size(); ++i) other.words_[i] = ~words_[i];
        if (rows % 64 != 0) other.words_.back() &= (std::uint64_t{1} << (rows % 64)) - 1;
        return other;
    }
    /// 1-based position of row among the rows of the set (row in the set).
    int position(int row) const {
        int count = 0;
        const std::size_t last = word(row);
        for (std::size_t i = 0; i < last; ++i) count += std::popcount(words_[i]);
        return count + std::popcount(words_[last] & ((std::uint64_t{1} << (row % 64)) - 1)) + 1;
    }
    /// The sum of (row + 1) over the rows of the set.
    long row_sum() const {
        long sum = 0;
        for (std::size_t i = 0; i < words_.size(); ++i)
            for (std::uint64_t w = words_[i]; w != 0; w &= w - 1)
                sum += static_cast<long>(i) * 64 + std::countr_zero(w) + 1;
        return sum;
    }
    bool operator==(const RowSet& other) const = default;
    std::size_t hash() const {
        std::uint64_t h = 0xcbf29ce484222325u;
        for (std::uint64_t w : words_) h = (h ^ w) * 0x100000001b3u ^ (h >> 29);
        return static_cast<std::size_t>(h);
    }

private:
    static std::size_t word(int row) { return static_cast<std::size_t>(row / 64); }
    std::vector<std::uint64_t> words_;
};

struct RowSetHash {
    std::size_t operator()(const RowSet& set) const { return set.hash(); }
};

}  // namespace quorvat::symbolic
