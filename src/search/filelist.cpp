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
        m_spans.emplace_back();
        set(m_spans.size() - 1, text);
    }
    // The key of the index-th text, where the texts are not given in their order; the spans are
    // made room for first with resize().
    void resize(std::size_t count) { m_spans.resize(count); }
    void set(std::size_t index, std::string_view text)
    {
        const std::size_t start = m_keys.size();
        m_collator.appendKey(m_keys, text);
        m_spans[index] = { start, m_keys.size() - start };
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

// Orders the rows by their keys, equal keys in the order of the rows either way. The rows are
// sorted by the first eight bytes of their keys, held beside them, and compared further only
// where those are equal: a sort of millions of rows then seldom leaves the array it sorts to
// read the keys. Keys hold no NUL byte, so padding with NULs keeps a shorter key first.
void orderByKeys(std::vector<std::size_t>& order, const SortKeys& keys, bool descending)
{
    struct Entry {
        std::uint64_t prefix = 0;
        std::uint32_t row = 0;
    };
    std::vector<Entry> entries(order.size());
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const std::string_view key = keys.at(row);
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < 8; ++i)
            prefix = (prefix << 8U) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0U);
        entries[row] = { prefix, static_cast<std::uint32_t>(row) };
    }
    const auto compareKeys = [&keys](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        const std::string_view keyA = keys.at(a.row);
        const std::string_view keyB = keys.at(b.row);
        if (keyA.size() <= 8 && keyB.size() <= 8)
            return 0;
        return keyA.substr(std::min<std::size_t>(8, keyA.size()))
            .compare(keyB.substr(std::min<std::size_t>(8, keyB.size())));
    };
    std::ranges::sort(entries, [&compareKeys, descending](const Entry& a, const Entry& b) {
        const int byKey = compareKeys(a, b);
        if (byKey != 0)
            return descending ? byKey > 0 : byKey < 0;
        return a.row < b.row;
    });
    for (std::size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].row;
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

FileList::~FileList() = default;

FileList::RowTexts FileList::textsOf(const Row& row) const
{
    if (row.source == kTextRows) {
        const TextRow& r = m_textRows[row.item];
        return { { m_text.data() + r.text, r.nameLength }, { m_text.data() + r.text + r.nameLength, r.sizeLength },
            m_dates.at(r.date), m_directories.at(r.directory), m_catalogs.at(r.catalog), r.located };
    }
    const IndexSource& source = m_indexes[row.source];
    try {
        // The folder first: its texts are copies, while the file's size and date may lie in the
        // blocks that the next read replaces.
        const std::string_view prefix = source.index.directory(row.directory).prefix;
        const names::NamesIndex::FileView file = source.index.file(row.item);
        return { file.name, file.size, file.date, prefix, source.catalog, true };
    } catch (const names::IndexDamaged&) {
        // The index was checked when it was searched; a block that no longer reads shows as blank
        // cells rather than ending the program.
        return { {}, {}, {}, {}, source.catalog, false };
    }
}

std::string_view FileList::nameOf(const Row& row) const
{
    if (row.source == kTextRows) {
        const TextRow& r = m_textRows[row.item];
        return { m_text.data() + r.text, r.nameLength };
    }
    return textsOf(row).name;
}

std::vector<std::uint32_t> FileList::readingOrder() const
{
    // Text rows by their position; rows of an index by their index and then their file.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys(m_rows.size());
    for (std::size_t row = 0; row < keys.size(); ++row) {
        const Row& r = m_rows[row];
        const std::uint64_t where = r.source == kTextRows ? row : r.item;
        keys[row] = { (std::uint64_t { r.source } << 32U) | where, static_cast<std::uint32_t>(row) };
    }
    // A list straight from a search is in that order already.
    if (!std::ranges::is_sorted(keys))
        std::ranges::sort(keys);
    std::vector<std::uint32_t> order(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].second;
    return order;
}

FileRow FileList::row(std::size_t index) const
{
    const RowTexts texts = textsOf(m_rows.at(index));
    std::string location(texts.directory);
    if (texts.located)
        location += texts.name;
    return { std::string(texts.name), std::string(texts.size), std::string(texts.date), std::move(location),
        std::string(texts.catalog) };
}

std::string FileList::cell(std::size_t index, FileColumn column) const
{
    const RowTexts texts = textsOf(m_rows.at(index));
    switch (column) {
    case FileColumn::FName:
        return std::string(texts.name);
    case FileColumn::FSize:
        return std::string(texts.size);
    case FileColumn::FDate:
        return std::string(texts.date);
    case FileColumn::FLocate: {
        std::string location(texts.directory);
        if (texts.located)
            location += texts.name;
        return location;
    }
    case FileColumn::FXml:
        return std::string(texts.catalog);
    }
    return {};
}

void FileList::clear()
{
    if (m_observer != nullptr)
        m_observer->beginReset();
    // Released, not kept: a listing of a million rows should not pin its memory for the next.
    m_rows = {};
    m_textRows = {};
    m_text = {};
    m_dates.clear();
    m_directories.clear();
    m_catalogs.clear();
    m_indexes = {};
    m_pendingIndex = nullptr;
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

void FileList::beginIndexRows(const names::NamesIndex& index, std::string_view catalog)
{
    m_pendingIndex = &index;
    m_pendingCatalog = catalog;
}

void FileList::appendIndexRow(std::uint32_t file, std::uint32_t directory)
{
    if (m_pendingIndex != nullptr) {
        if (m_indexes.size() >= kTextRows)
            throw std::length_error("too many catalogs in the file list");
        m_indexes.push_back({ m_pendingIndex->forAnotherThread(), m_pendingCatalog });
        m_pendingIndex = nullptr;
    }
    if (m_indexes.empty())
        throw std::logic_error("a row of an index appended before its index");
    pushRow({ static_cast<std::uint32_t>(m_indexes.size() - 1), file, directory });
}

void FileList::addRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
    std::string_view catalog, bool located)
{
    if (m_textRows.size() >= kTextRows)
        throw std::length_error("too many rows in the file list");
    TextRow r;
    r.located = located;
    r.text = m_text.size();
    r.nameLength = checkedLength(name.size());
    r.sizeLength = checkedLength(size.size());
    r.date = m_dates.intern(date);
    r.directory = m_directories.intern(directory);
    r.catalog = m_catalogs.intern(catalog);
    m_text.append(name);
    m_text.append(size);
    m_textRows.push_back(r);
    pushRow({ kTextRows, static_cast<std::uint32_t>(m_textRows.size() - 1), 0 });
}

void FileList::pushRow(const Row& row)
{
    m_rows.push_back(row);
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
    // Columns of texts that differ from row to row (names, locations) sort by the rows' keys;
    // columns of few distinct texts by rank (see orderByRank).
    // The distinct texts of a column and each row's among them: columns of few distinct texts
    // (sizes, dates, catalogs) rank those once and sort the rows by rank.
    TextTable distinct;
    std::vector<std::uint32_t> idOfRow;
    // The texts of rows kept as references are read in the order they lie in their indexes, so
    // that a list in another order is not read a block at a time for each row.
    const std::vector<std::uint32_t> reading = readingOrder();
    const auto collectDistinct = [&](auto textOf) {
        idOfRow.resize(count);
        for (const std::uint32_t row : reading)
            idOfRow[row] = distinct.intern(textOf(textsOf(m_rows[row])));
    };
    const auto orderByDistinct = [&](auto less) {
        const auto rank = ranksOf(distinct.size(), less);
        for (std::uint32_t& id : idOfRow)
            id = rank[id];
        orderByRank(order, idOfRow, descending);
    };

    TextCollator collator(m_collationLocale);
    switch (static_cast<FileColumn>(m_sort.key)) {
    case FileColumn::FName: {
        SortKeys names(collator, count);
        names.resize(count);
        for (const std::uint32_t row : reading)
            names.set(row, nameOf(m_rows[row]));
        orderByKeys(order, names, descending);
        break;
    }
    case FileColumn::FSize: {
        // Sizes the writer stored compare by their number (and equal numbers by their bytes), the
        // other texts after them by their keys.
        collectDistinct([](const RowTexts& texts) { return texts.size; });
        std::vector<SizeKey> sizes;
        sizes.reserve(distinct.size());
        SortKeys texts(collator, distinct.size());
        for (std::uint32_t id = 0; id < distinct.size(); ++id) {
            sizes.push_back(sizeKeyOf(distinct.at(id)));
            texts.add(sizes.back().numeric ? std::string_view() : distinct.at(id));
        }
        orderByDistinct([&](std::uint32_t a, std::uint32_t b) {
            if (const int bySize = compareSizes(sizes[a], sizes[b]); bySize != 0)
                return bySize < 0;
            return sizes[a].numeric ? distinct.at(a) < distinct.at(b) : texts.at(a) < texts.at(b);
        });
        break;
    }
    case FileColumn::FDate: {
        collectDistinct([](const RowTexts& texts) { return texts.date; });
        const LongDateParser parser;
        std::vector<std::optional<std::int64_t>> days(distinct.size());
        SortKeys texts(collator, distinct.size());
        for (std::uint32_t id = 0; id < distinct.size(); ++id) {
            days[id] = parser.dayOf(distinct.at(id));
            texts.add(distinct.at(id));
        }
        // Dates that read as dates come first, by day; the others after them, by text.
        orderByDistinct([&days, &texts](std::uint32_t a, std::uint32_t b) {
            if (days[a].has_value() != days[b].has_value())
                return days[a].has_value();
            if (days[a] && *days[a] != *days[b])
                return *days[a] < *days[b];
            return texts.at(a) < texts.at(b);
        });
        break;
    }
    case FileColumn::FLocate: {
        // The whole location is one text: its order is not that of its folder and then its name.
        SortKeys locations(collator, count);
        locations.resize(count);
        std::string location;
        for (const std::uint32_t row : reading) {
            const RowTexts texts = textsOf(m_rows[row]);
            location = texts.directory;
            if (texts.located)
                location += texts.name;
            locations.set(row, location);
        }
        orderByKeys(order, locations, descending);
        break;
    }
    case FileColumn::FXml: {
        collectDistinct([](const RowTexts& texts) { return texts.catalog; });
        SortKeys texts(collator, distinct.size());
        for (std::uint32_t id = 0; id < distinct.size(); ++id)
            texts.add(distinct.at(id));
        orderByDistinct([&texts](std::uint32_t a, std::uint32_t b) { return texts.at(a) < texts.at(b); });
        break;
    }
    }

    std::deque<Row> sorted;
    for (const std::size_t i : order)
        sorted.push_back(m_rows[i]);
    m_rows = std::move(sorted);
}

} // namespace mellowby::search
