#include "search/sortkeys.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace mellowby::search {

namespace {

// Fewer texts than this are not worth a thread.
constexpr std::size_t kTextsForTwoThreads = 4096;

} // namespace

SortKeys::SortKeys(TextCollator& collator, std::size_t count)
    : m_collator(collator)
{
    m_spans.reserve(count);
}

void SortKeys::add(std::string_view text)
{
    m_spans.emplace_back();
    set(m_spans.size() - 1, text);
}

void SortKeys::set(std::size_t index, std::string_view text)
{
    const std::size_t start = m_keys.size();
    m_collator.appendKey(m_keys, text);
    m_spans[index] = { start, m_keys.size() - start };
}

void SortKeys::setMany(
    std::span<const std::uint32_t> indexes, std::span<const std::string_view> texts, TextCollator& helper)
{
    const std::size_t count = std::min(indexes.size(), texts.size());
    if (count < kTextsForTwoThreads) {
        for (std::size_t i = 0; i < count; ++i)
            set(indexes[i], texts[i]);
        return;
    }
    const std::size_t half = count / 2;
    m_helperKeys.clear();
    m_helperEnds.clear();
    std::exception_ptr helperFailed;
    {
        // Joined before anything below reads what it made, or when this thread throws.
        const std::jthread second([&] {
            try {
                for (std::size_t i = half; i < count; ++i) {
                    helper.appendKey(m_helperKeys, texts[i]);
                    m_helperEnds.push_back(m_helperKeys.size());
                }
            } catch (...) {
                helperFailed = std::current_exception();
            }
        });
        for (std::size_t i = 0; i < half; ++i)
            set(indexes[i], texts[i]);
    }
    if (helperFailed)
        std::rethrow_exception(helperFailed);
    std::size_t begin = 0;
    for (std::size_t i = half; i < count; ++i) {
        const std::size_t end = m_helperEnds[i - half];
        const std::size_t start = m_keys.size();
        m_keys.append(m_helperKeys, begin, end - begin);
        m_spans[indexes[i]] = { start, end - begin };
        begin = end;
    }
}

const std::vector<std::string_view>& TextBatch::views()
{
    m_views.clear();
    std::size_t begin = 0;
    for (const std::size_t end : m_ends) {
        m_views.emplace_back(m_bytes.data() + begin, end - begin);
        begin = end;
    }
    return m_views;
}

} // namespace mellowby::search
