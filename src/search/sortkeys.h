#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "search/textcollator.h"

namespace mellowby::search {

// Sort keys of the texts of one column, one per row or per table entry, in one block.
class SortKeys {
public:
    SortKeys(TextCollator& collator, std::size_t count);

    void add(std::string_view text);
    // The key of the index-th text, where the texts are not given in their order; the spans are
    // made room for first with resize().
    void resize(std::size_t count) { m_spans.resize(count); }
    void set(std::size_t index, std::string_view text);
    // The keys of the texts at indexes, made on two threads when they are many: at millions of
    // rows, making keys is most of what a click on a column header waits for. helper is the
    // second thread's collator, of the same locale.
    void setMany(std::span<const std::uint32_t> indexes, std::span<const std::string_view> texts, TextCollator& helper);

    std::string_view at(std::size_t index) const
    {
        return std::string_view(m_keys).substr(m_spans[index].first, m_spans[index].second);
    }

private:
    TextCollator& m_collator;
    std::string m_keys;
    std::vector<std::pair<std::size_t, std::size_t>> m_spans;
    // The helper's keys of one call, one after another, and where each ends.
    std::string m_helperKeys;
    std::vector<std::size_t> m_helperEnds;
};

// Texts gathered a batch at a time, where what gives them keeps each only until it gives the next
// (the rows of an index).
class TextBatch {
public:
    void clear()
    {
        m_bytes.clear();
        m_ends.clear();
    }
    void add(std::string_view text)
    {
        m_bytes.append(text);
        m_ends.push_back(m_bytes.size());
    }
    std::size_t size() const { return m_ends.size(); }
    // Views of the texts, valid until the batch changes.
    const std::vector<std::string_view>& views();

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
    std::vector<std::string_view> m_views;
};

} // namespace mellowby::search
