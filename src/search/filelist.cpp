#include "search/filelist.h"

#include <algorithm>
#include <bit>
#include <exception>
#include <limits>
#include <numeric>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "app/userlocale.h"
#include "search/longdateparser.h"
#include "search/radixsort.h"
#include "search/sortkeys.h"
#include "search/textcollator.h"

namespace mellowby::search {

namespace {

std::uint32_t checkedLength(std::size_t length)
{
    if (length > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("file list text too long");
    return static_cast<std::uint32_t>(length);
}

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

// The order of rows by a rank each, equal ranks in the order the rows are in, in either direction:
// a counting sort, as the ranks are few (one per distinct text) and the rows millions.
void orderByRank(std::vector<std::uint32_t>& order, const std::vector<std::uint32_t>& rankOfRow, bool descending)
{
    const std::uint32_t ranks = rankOfRow.empty() ? 0 : std::ranges::max(rankOfRow) + 1;
    // Where the rows of each rank begin in the order.
    std::vector<std::size_t> start(std::size_t { ranks } + 1, 0);
    for (const std::uint32_t rank : rankOfRow)
        ++start[(descending ? ranks - 1 - rank : rank) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    for (std::size_t row = 0; row < rankOfRow.size(); ++row) {
        const std::uint32_t rank = rankOfRow[row];
        order[start[descending ? ranks - 1 - rank : rank]++] = static_cast<std::uint32_t>(row);
    }
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

FileList::~FileList() = default;

FileList::RowTexts FileList::textsOf(const Row& row) const
{
    return textsOf(row, row.source == kTextRows ? nullptr : &m_indexes[row.source].index);
}

FileList::RowTexts FileList::textsOf(const Row& row, const names::NamesIndex* index) const
{
    if (row.source == kTextRows) {
        const TextRow& r = m_textRows[row.item];
        return { { m_text.data() + r.text, r.nameLength }, { m_text.data() + r.text + r.nameLength, r.sizeLength },
            m_dates.at(r.date), m_directories.at(r.directory), m_catalogs.at(r.catalog), r.located };
    }
    const std::string& catalog = m_indexes[row.source].catalog;
    try {
        // The folder first: its texts are copies, while the file's size and date may lie in the
        // blocks that the next read replaces.
        const std::string_view prefix = index->directory(row.directory).prefix;
        const names::NamesIndex::FileView file = index->file(row.item);
        return { file.name, file.size, file.date, prefix, catalog, true };
    } catch (const names::IndexDamaged&) {
        // The index was checked when it was searched; a block that no longer reads shows as blank
        // cells rather than ending the program.
        return { {}, {}, {}, {}, catalog, false };
    }
}

std::string_view FileList::nameOf(const Row& row, const names::NamesIndex* index) const
{
    if (row.source == kTextRows) {
        const TextRow& r = m_textRows[row.item];
        return { m_text.data() + r.text, r.nameLength };
    }
    try {
        return index->nameOf(row.item);
    } catch (const names::IndexDamaged&) {
        return {}; // blank, as textsOf shows it
    }
}

FileList::IndexReaders::IndexReaders(const std::vector<IndexSource>& sources, bool ownCopies)
    : m_sources(sources)
    , m_copies(ownCopies ? sources.size() : 0)
{
}

const names::NamesIndex* FileList::IndexReaders::of(const Row& row)
{
    if (row.source == kTextRows)
        return nullptr;
    if (m_copies.empty())
        return &m_sources[row.source].index;
    std::optional<names::NamesIndex>& copy = m_copies[row.source];
    if (!copy)
        copy = m_sources[row.source].index.forAnotherThread();
    return &*copy;
}

SortKeys FileList::rowKeys(const std::vector<std::uint32_t>& reading, const RowText& textOf) const
{
    // Fewer rows than this are not worth a thread.
    constexpr std::size_t kRowsForTwoThreads = 4096;
    const bool twoThreads = reading.size() >= kRowsForTwoThreads;
    SortKeys keys(m_rows.size(), twoThreads ? 2 : 1);
    const auto makeKeys = [&](std::span<const std::uint32_t> rows, std::size_t writer) {
        TextCollator collator(m_collationLocale);
        SortKeys::Writer write(keys, writer, collator);
        // The second thread reads the indexes through copies of its own.
        IndexReaders indexes(m_indexes, writer != 0);
        std::string scratch;
        for (const std::uint32_t position : rows) {
            const Row& row = m_rows[position];
            write.set(position, textOf(row, indexes.of(row), scratch));
        }
    };
    if (!twoThreads) {
        makeKeys(reading, 0);
        return keys;
    }
    const std::size_t half = reading.size() / 2;
    std::exception_ptr helperFailed;
    {
        // Joined before the keys are read, or when this thread throws.
        const std::jthread second([&] {
            try {
                makeKeys(std::span(reading).subspan(half), 1);
            } catch (...) {
                helperFailed = std::current_exception();
            }
        });
        makeKeys(std::span(reading).first(half), 0);
    }
    if (helperFailed)
        std::rethrow_exception(helperFailed);
    return keys;
}

std::vector<std::uint32_t> FileList::distinctIds(
    SharedColumn column, const std::vector<std::uint32_t>& reading, TextTable& distinct) const
{
    const auto textOf = [column](const RowTexts& texts) {
        return column == SharedColumn::Size ? texts.size : column == SharedColumn::Date ? texts.date : texts.catalog;
    };
    std::vector<std::uint32_t> ids(m_rows.size());
    // The id of each place seen, by index and place.
    std::unordered_map<std::uint64_t, std::uint32_t> idOfPlace;
    std::vector<std::optional<std::uint32_t>> idOfCatalog(m_indexes.size());
    for (const std::uint32_t position : reading) {
        const Row& row = m_rows[position];
        if (row.source == kTextRows) {
            ids[position] = distinct.intern(textOf(textsOf(row)));
            continue;
        }
        const names::NamesIndex& index = m_indexes[row.source].index;
        if (column == SharedColumn::Catalog) {
            std::optional<std::uint32_t>& id = idOfCatalog[row.source];
            if (!id)
                id = distinct.intern(m_indexes[row.source].catalog);
            ids[position] = *id;
            continue;
        }
        try {
            const names::NamesIndex::TextPlaces places = index.textPlacesOf(row.item);
            const std::uint32_t place = column == SharedColumn::Size ? places.size : places.date;
            const auto [found, added]
                = idOfPlace.try_emplace((std::uint64_t { row.source } << 32U) | place, std::uint32_t { 0 });
            if (added)
                found->second = distinct.intern(index.textAt(place));
            ids[position] = found->second;
        } catch (const names::IndexDamaged&) {
            ids[position] = distinct.intern({}); // blank, as textsOf shows it
        }
    }
    return ids;
}

std::vector<std::uint32_t> FileList::readingOrder() const
{
    // Text rows by their position; rows of an index by their index and then their file: each row
    // as one number of its source (text rows last), its place there and its position, sorted.
    const auto bitsOf = [](std::uint64_t largest) { return static_cast<unsigned>(std::bit_width(largest)); };
    std::uint64_t largestItem = m_rows.size();
    for (const Row& row : m_rows) {
        if (row.source != kTextRows)
            largestItem = std::max<std::uint64_t>(largestItem, row.item);
    }
    const unsigned positionBits = bitsOf(m_rows.size());
    const unsigned itemBits = bitsOf(largestItem);
    const unsigned bits = bitsOf(m_indexes.size()) + itemBits + positionBits;
    std::vector<std::uint32_t> order(m_rows.size());
    if (bits > 64) {
        // Never met in practice: more rows and files than the bits of a number hold.
        std::iota(order.begin(), order.end(), 0U);
        std::ranges::stable_sort(order, [this](std::uint32_t a, std::uint32_t b) {
            const auto where = [this](std::uint32_t position) {
                const Row& row = m_rows[position];
                return std::pair { row.source, row.source == kTextRows ? position : row.item };
            };
            return where(a) < where(b);
        });
        return order;
    }
    std::vector<std::uint64_t> numbers(m_rows.size());
    bool inOrder = true;
    for (std::size_t position = 0; position < numbers.size(); ++position) {
        const Row& row = m_rows[position];
        const std::uint64_t source = row.source == kTextRows ? m_indexes.size() : row.source;
        const std::uint64_t where = row.source == kTextRows ? position : row.item;
        numbers[position] = (((source << itemBits) | where) << positionBits) | position;
        inOrder = inOrder && (position == 0 || numbers[position - 1] < numbers[position]);
    }
    // A list straight from a search is in that order already. The positions need no sorting: the
    // numbers come in their order.
    if (!inOrder)
        radixSort(numbers, bits, positionBits);
    const std::uint64_t positionMask = (std::uint64_t { 1 } << positionBits) - 1;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        order[i] = static_cast<std::uint32_t>(numbers[i] & positionMask);
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
    m_recentDate = {};
    m_recentDirectory = {};
    m_recentCatalog = {};
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
    r.date = m_dates.intern(date, m_recentDate);
    r.directory = m_directories.intern(directory, m_recentDirectory);
    r.catalog = m_catalogs.intern(catalog, m_recentCatalog);
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

    std::vector<std::uint32_t> order(count);
    const bool descending = m_sort.order == SortOrder::Descending;
    // Columns of texts that differ from row to row (names, locations) sort by the rows' keys.
    // Columns of few distinct texts (sizes, dates, catalogs) rank their distinct texts once and
    // sort the rows by rank (see orderByRank): these are those texts and each row's among them.
    TextTable distinct;
    std::vector<std::uint32_t> idOfRow;
    // The texts of rows kept as references are read in the order they lie in their indexes, so
    // that a list in another order is not read a block at a time for each row.
    const std::vector<std::uint32_t> reading = readingOrder();
    const auto collectDistinct = [&](SharedColumn column) { idOfRow = distinctIds(column, reading, distinct); };
    const auto orderByDistinct = [&](auto less) {
        const auto rank = ranksOf(distinct.size(), less);
        for (std::uint32_t& id : idOfRow)
            id = rank[id];
        orderByRank(order, idOfRow, descending);
    };
    // The keys of the distinct texts, each as textOf gives it for its id.
    const auto keysOfDistinct = [&](auto textOf) {
        TextCollator collator(m_collationLocale);
        SortKeys keys(distinct.size());
        SortKeys::Writer write(keys, 0, collator);
        for (std::uint32_t id = 0; id < distinct.size(); ++id)
            write.set(id, textOf(id));
        return keys;
    };

    switch (static_cast<FileColumn>(m_sort.key)) {
    case FileColumn::FName: {
        const SortKeys names = rowKeys(reading,
            [this](const Row& row, const names::NamesIndex* index, std::string&) { return nameOf(row, index); });
        order = orderOfKeys(names, descending);
        break;
    }
    case FileColumn::FSize: {
        // Sizes the writer stored compare by their number (and equal numbers by their bytes), the
        // other texts after them by their keys.
        collectDistinct(SharedColumn::Size);
        std::vector<SizeKey> sizes;
        sizes.reserve(distinct.size());
        for (std::uint32_t id = 0; id < distinct.size(); ++id)
            sizes.push_back(sizeKeyOf(distinct.at(id)));
        const SortKeys texts = keysOfDistinct(
            [&](std::uint32_t id) { return sizes[id].numeric ? std::string_view() : distinct.at(id); });
        orderByDistinct([&](std::uint32_t a, std::uint32_t b) {
            if (const int bySize = compareSizes(sizes[a], sizes[b]); bySize != 0)
                return bySize < 0;
            return sizes[a].numeric ? distinct.at(a) < distinct.at(b) : texts.at(a) < texts.at(b);
        });
        break;
    }
    case FileColumn::FDate: {
        collectDistinct(SharedColumn::Date);
        const LongDateParser parser;
        std::vector<std::optional<std::int64_t>> days(distinct.size());
        for (std::uint32_t id = 0; id < distinct.size(); ++id)
            days[id] = parser.dayOf(distinct.at(id));
        const SortKeys texts = keysOfDistinct([&](std::uint32_t id) { return distinct.at(id); });
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
        const SortKeys locations
            = rowKeys(reading, [this](const Row& row, const names::NamesIndex* index, std::string& location) {
                  const RowTexts texts = textsOf(row, index);
                  location = texts.directory;
                  if (texts.located)
                      location += texts.name;
                  return std::string_view(location);
              });
        order = orderOfKeys(locations, descending);
        break;
    }
    case FileColumn::FXml: {
        collectDistinct(SharedColumn::Catalog);
        const SortKeys texts = keysOfDistinct([&](std::uint32_t id) { return distinct.at(id); });
        orderByDistinct([&texts](std::uint32_t a, std::uint32_t b) { return texts.at(a) < texts.at(b); });
        break;
    }
    }

    std::deque<Row> sorted;
    for (const std::uint32_t i : order)
        sorted.push_back(m_rows[i]);
    m_rows = std::move(sorted);
}

} // namespace mellowby::search
