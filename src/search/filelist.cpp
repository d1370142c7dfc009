#include "search/filelist.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "app/userlocale.h"
#include "search/longdateparser.h"
#include "search/textcollator.h"

namespace mellowby::search {

namespace {

std::uint32_t checkedLength(std::size_t length)
{
    if (length > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("file list text too long");
    return static_cast<std::uint32_t>(length);
}

// Sort keys of the texts of one column, one per row or per table entry, in one block.
class SortKeys {
public:
    SortKeys(TextCollator& collator, std::size_t count)
        : m_collator(collator)
    {
        m_spans.reserve(count);
    }
    void add(std::string_view text)
    {
        const std::size_t start = m_keys.size();
        m_collator.appendKey(m_keys, text);
        m_spans.emplace_back(start, m_keys.size() - start);
    }
    std::string_view at(std::size_t index) const
    {
        return std::string_view(m_keys).substr(m_spans[index].first, m_spans[index].second);
    }

private:
    TextCollator& m_collator;
    std::string m_keys;
    std::vector<std::pair<std::size_t, std::size_t>> m_spans;
};

// A size as the writer stores it ("123KB") orders by its number; anything else comes after
// the numbers, by its text.
struct SizeKey {
    bool numeric = false;
    std::string_view digits; // without leading zeros
};

SizeKey sizeKeyOf(std::string_view size)
{
    std::size_t end = 0;
    while (end < size.size() && size[end] >= '0' && size[end] <= '9')
        ++end;
    if (end == 0)
        return {};
    std::size_t start = 0;
    while (start + 1 < end && size[start] == '0')
        ++start;
    return { true, size.substr(start, end - start) };
}

int compareSizes(const SizeKey& a, const SizeKey& b)
{
    if (a.numeric != b.numeric)
        return a.numeric ? -1 : 1;
    if (a.digits.size() != b.digits.size())
        return a.digits.size() < b.digits.size() ? -1 : 1;
    return a.digits.compare(b.digits);
}

// Ranks of the entries of a shared text column: equal keys, equal ranks. Computed per entry,
// so a column of a million rows and a few hundred distinct texts costs a few hundred keys.
template <typename Less> std::vector<std::uint32_t> ranksOf(std::size_t count, Less less)
{
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::ranges::stable_sort(order, less);
    std::vector<std::uint32_t> rank(count);
    std::uint32_t current = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && less(order[i - 1], order[i]))
            ++current;
        rank[order[i]] = current;
    }
    return rank;
}

// The order of rows by a rank each (equal ranks in the order the rows are in, in either
// direction), as a sort of one key per row that holds its rank and its position: nothing is looked
// up while sorting, which at millions of rows costs more than the comparisons.
void orderByRank(std::vector<std::size_t>& order, const std::vector<std::uint32_t>& rankOfRow, bool descending)
{
    std::vector<std::uint64_t> keys(rankOfRow.size());
    for (std::size_t row = 0; row < keys.size(); ++row) {
        const std::uint32_t rank = descending ? ~rankOfRow[row] : rankOfRow[row];
        keys[row] = (std::uint64_t { rank } << 32U) | row;
    }
    std::ranges::sort(keys);
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = static_cast<std::size_t>(keys[i] & 0xFFFFFFFFU);
}

} // namespace

FileList::FileList()
    : FileList(app::userLocaleName("LC_COLLATE"))
{
}

FileList::FileList(std::string collationLocale)
    : m_collationLocale(std::move(collationLocale))
{
}

std::uint32_t FileList::TextTable::intern(std::string_view text)
{
    if (!m_texts.empty() && *m_texts[m_last] == text)
        return m_last;
    auto found = m_ids.find(text);
    if (found == m_ids.end()) {
        if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("too many distinct texts in the file list");
        found = m_ids.emplace(std::string(text), static_cast<std::uint32_t>(m_texts.size())).first;
        m_texts.push_back(&found->first);
    }
    m_last = found->second;
    return m_last;
}

void FileList::TextTable::clear()
{
    m_ids = {};
    m_texts = {};
    m_last = 0;
}

FileRow FileList::row(std::size_t index) const
{
    const Row& r = m_rows.at(index);
    const std::string_view name = nameOf(r);
    std::string location(m_directories.at(r.directory));
    if (r.located)
        location += name;
    return { std::string(name), std::string(sizeOf(r)), std::string(m_dates.at(r.date)), std::move(location),
        std::string(m_catalogs.at(r.catalog)) };
}

std::string FileList::cell(std::size_t index, FileColumn column) const
{
    const Row& r = m_rows.at(index);
    switch (column) {
    case FileColumn::FName:
        return std::string(nameOf(r));
    case FileColumn::FSize:
        return std::string(sizeOf(r));
    case FileColumn::FDate:
        return std::string(m_dates.at(r.date));
    case FileColumn::FLocate: {
        std::string location(m_directories.at(r.directory));
        if (r.located)
            location += nameOf(r);
        return location;
    }
    case FileColumn::FXml:
        return std::string(m_catalogs.at(r.catalog));
    }
    return {};
}

void FileList::clear()
{
    if (m_observer != nullptr)
        m_observer->beginReset();
    // Released, not kept: a listing of a million rows should not pin its memory for the next.
    m_rows = {};
    m_text = {};
    m_dates.clear();
    m_directories.clear();
    m_catalogs.clear();
    m_published = 0;
    m_stopRequested = false;
    if (m_observer != nullptr)
        m_observer->endReset();
}

void FileList::appendRow(std::string_view name, std::string_view size, std::string_view date,
    std::string_view directory, std::string_view catalog)
{
    addRow(name, size, date, directory, catalog, true);
}

void FileList::appendNameOnly(std::string_view name)
{
    addRow(name, {}, {}, {}, {}, false);
}

void FileList::addRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
    std::string_view catalog, bool located)
{
    Row r;
    r.located = located;
    r.text = m_text.size();
    r.nameLength = checkedLength(name.size());
    r.sizeLength = checkedLength(size.size());
    r.date = m_dates.intern(date);
    r.directory = m_directories.intern(directory);
    r.catalog = m_catalogs.intern(catalog);
    m_text.append(name);
    m_text.append(size);
    m_rows.push_back(r);
    if (m_rows.size() - m_published >= kAppendBatch)
        flush();
}

void FileList::flush()
{
    if (m_published == m_rows.size())
        return;
    if (m_observer != nullptr)
        m_observer->beginAppend(m_published, m_rows.size() - 1);
    m_published = m_rows.size();
    if (m_observer != nullptr)
        m_observer->endAppend();
}

void FileList::finishFill()
{
    flush();
    if (!m_sort.sorted || m_rows.size() < 2)
        return;
    if (m_observer != nullptr)
        m_observer->beginReset();
    sortRows();
    if (m_observer != nullptr)
        m_observer->endReset();
}

void FileList::columnClick(std::size_t column)
{
    flush();
    m_sort.sorted = true;
    m_sort.order = m_sort.order == SortOrder::Ascending ? SortOrder::Descending : SortOrder::Ascending;
    // A position outside the columns leaves the key as it was; the rest of the click still counts.
    if (column >= 1 && column <= kFileColumnCount)
        m_sort.key = column - 1;
    if (m_observer != nullptr)
        m_observer->beginReset();
    sortRows();
    if (m_observer != nullptr)
        m_observer->endReset();
}

void FileList::sortRows()
{
    const std::size_t count = m_rows.size();
    if (count < 2)
        return;
    // Rows are counted in 32 bits where they are sorted by rank.
    if (count > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many rows in the file list to sort");

    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    const bool descending = m_sort.order == SortOrder::Descending;
    // less compares two rows by position; every key it uses is computed once, before sorting.
    // Columns of few distinct texts are sorted by rank instead (see orderByRank).
    const auto sortBy = [&order, descending](auto less) {
        if (descending)
            std::ranges::stable_sort(order, [&less](std::size_t a, std::size_t b) { return less(b, a); });
        else
            std::ranges::stable_sort(order, less);
    };

    TextCollator collator(m_collationLocale);
    switch (static_cast<FileColumn>(m_sort.key)) {
    case FileColumn::FName: {
        SortKeys names(collator, count);
        for (const Row& r : m_rows)
            names.add(nameOf(r));
        sortBy([&names](std::size_t a, std::size_t b) { return names.at(a) < names.at(b); });
        break;
    }
    case FileColumn::FSize: {
        // Sizes the writer stored compare by their number (and equal numbers by their bytes), the
        // other texts after them by their keys. A list holds far fewer distinct sizes than rows, so
        // the distinct texts are ranked and the rows sorted by rank.
        std::unordered_map<std::string_view, std::uint32_t> idOf;
        std::vector<std::string_view> distinct;
        std::vector<std::uint32_t> idOfRow(count);
        for (std::size_t row = 0; row < count; ++row) {
            const std::string_view size = sizeOf(m_rows[row]);
            const auto [found, added] = idOf.try_emplace(size, static_cast<std::uint32_t>(distinct.size()));
            if (added)
                distinct.push_back(size);
            idOfRow[row] = found->second;
        }
        std::vector<SizeKey> sizes;
        sizes.reserve(distinct.size());
        SortKeys texts(collator, distinct.size());
        for (const std::string_view size : distinct) {
            sizes.push_back(sizeKeyOf(size));
            texts.add(sizes.back().numeric ? std::string_view() : size);
        }
        const auto rank = ranksOf(distinct.size(), [&](std::uint32_t a, std::uint32_t b) {
            if (const int bySize = compareSizes(sizes[a], sizes[b]); bySize != 0)
                return bySize < 0;
            return sizes[a].numeric ? distinct[a] < distinct[b] : texts.at(a) < texts.at(b);
        });
        for (std::uint32_t& id : idOfRow)
            id = rank[id];
        orderByRank(order, idOfRow, descending);
        break;
    }
    case FileColumn::FDate: {
        const LongDateParser parser;
        std::vector<std::optional<std::int64_t>> days(m_dates.size());
        SortKeys texts(collator, m_dates.size());
        for (std::size_t i = 0; i < days.size(); ++i) {
            const std::string_view date = m_dates.at(static_cast<std::uint32_t>(i));
            days[i] = parser.dayOf(date);
            texts.add(date);
        }
        // Dates that read as dates come first, by day; the others after them, by text.
        const auto rank = ranksOf(days.size(), [&days, &texts](std::uint32_t a, std::uint32_t b) {
            if (days[a].has_value() != days[b].has_value())
                return days[a].has_value();
            if (days[a] && *days[a] != *days[b])
                return *days[a] < *days[b];
            return texts.at(a) < texts.at(b);
        });
        std::vector<std::uint32_t> rankOfRow(count);
        for (std::size_t row = 0; row < count; ++row)
            rankOfRow[row] = rank[m_rows[row].date];
        orderByRank(order, rankOfRow, descending);
        break;
    }
    case FileColumn::FLocate: {
        // The whole location is one text: its order is not that of its folder and then its name.
        SortKeys locations(collator, count);
        std::string location;
        for (const Row& r : m_rows) {
            location = m_directories.at(r.directory);
            if (r.located)
                location += nameOf(r);
            locations.add(location);
        }
        sortBy([&locations](std::size_t a, std::size_t b) { return locations.at(a) < locations.at(b); });
        break;
    }
    case FileColumn::FXml: {
        SortKeys texts(collator, m_catalogs.size());
        for (std::size_t i = 0; i < m_catalogs.size(); ++i)
            texts.add(m_catalogs.at(static_cast<std::uint32_t>(i)));
        const auto rank = ranksOf(
            m_catalogs.size(), [&texts](std::uint32_t a, std::uint32_t b) { return texts.at(a) < texts.at(b); });
        std::vector<std::uint32_t> rankOfRow(count);
        for (std::size_t row = 0; row < count; ++row)
            rankOfRow[row] = rank[m_rows[row].catalog];
        orderByRank(order, rankOfRow, descending);
        break;
    }
    }

    std::vector<Row> sorted;
    sorted.reserve(count);
    for (const std::size_t i : order)
        sorted.push_back(m_rows[i]);
    m_rows = std::move(sorted);
}

} // namespace mellowby::search
