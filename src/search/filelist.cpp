#include "search/filelist.h"

#include <algorithm>
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
void orderByRank(std::vector<std::size_t>& order, const std::vector<std::uint32_t>& rankOfRow, bool descending)
{
    const std::uint32_t ranks = rankOfRow.empty() ? 0 : std::ranges::max(rankOfRow) + 1;
    // Where the rows of each rank begin in the order.
    std::vector<std::size_t> start(std::size_t { ranks } + 1, 0);
    for (const std::uint32_t rank : rankOfRow)
        ++start[(descending ? ranks - 1 - rank : rank) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    for (std::size_t row = 0; row < rankOfRow.size(); ++row) {
        const std::uint32_t rank = rankOfRow[row];
        order[start[descending ? ranks - 1 - rank : rank]++] = row;
    }
}

// Eight bytes of a key from offset from, as a number that orders as the bytes do, padded with
// NULs: keys hold no NUL byte, so a key that ends first comes first.
std::uint64_t keyChunk(std::string_view key, std::size_t from)
{
    std::uint64_t chunk = 0;
    for (std::size_t i = from; i < from + 8; ++i)
        chunk = (chunk << 8U) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0U);
    return chunk;
}

struct KeyedRow {
    std::uint64_t chunk = 0; // of its key, at the depth its run is sorted at
    std::uint32_t row = 0;
};

// Sorts rows by eight bytes of their keys, then each run that agrees on those by the next eight,
// and so on: every row's key is read once per eight bytes it shares with others, where comparing
// whole keys would read two keys, scattered in memory, for each comparison. The rows come with
// their first eight bytes. Keys wholly equal keep the order of their rows either way.
void sortByKeyChunks(std::span<KeyedRow> rows, const SortKeys& keys, bool descending)
{
    struct Run {
        std::size_t begin;
        std::size_t end;
        std::size_t depth; // the eight bytes its rows hold, counted in eights
    };
    std::vector<Run> runs { { 0, rows.size(), 0 } };
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        const std::span<KeyedRow> part = rows.subspan(run.begin, run.end - run.begin);
        std::ranges::sort(part, [descending](const KeyedRow& a, const KeyedRow& b) {
            if (a.chunk != b.chunk)
                return descending ? a.chunk > b.chunk : a.chunk < b.chunk;
            return a.row < b.row;
        });
        for (std::size_t begin = 0; begin < part.size();) {
            std::size_t end = begin + 1;
            while (end < part.size() && part[end].chunk == part[begin].chunk)
                ++end;
            // A chunk that ends in a NUL holds the end of the keys: they are equal.
            if (end - begin > 1 && (part[begin].chunk & 0xFFU) != 0) {
                for (KeyedRow& keyed : part.subspan(begin, end - begin))
                    keyed.chunk = keyChunk(keys.at(keyed.row), (run.depth + 1) * 8);
                runs.push_back({ run.begin + begin, run.begin + end, run.depth + 1 });
            }
            begin = end;
        }
    }
}

// Orders the rows by their keys, equal keys in the order of the rows either way.
void orderByKeys(std::vector<std::size_t>& order, const SortKeys& keys, bool descending)
{
    std::vector<KeyedRow> rows(order.size());
    for (std::size_t row = 0; row < rows.size(); ++row)
        rows[row] = { keyChunk(keys.at(row), 0), static_cast<std::uint32_t>(row) };
    // Many rows are split in two by their first chunks, about the median of a sample, and each part
    // is sorted on a thread of its own: the parts end up one after the other.
    constexpr std::size_t kRowsForTwoThreads = 1U << 16U;
    if (rows.size() < kRowsForTwoThreads) {
        sortByKeyChunks(rows, keys, descending);
    } else {
        std::vector<std::uint64_t> sample;
        constexpr std::size_t kSample = 1024;
        for (std::size_t i = 0; i < kSample; ++i)
            sample.push_back(rows[i * (rows.size() / kSample)].chunk);
        std::ranges::nth_element(sample, sample.begin() + kSample / 2);
        const std::uint64_t middle = sample[kSample / 2];
        const auto firstPart = std::ranges::partition(rows, [middle, descending](const KeyedRow& keyed) {
            return descending ? keyed.chunk >= middle : keyed.chunk < middle;
        });
        const auto split = static_cast<std::size_t>(firstPart.begin() - rows.begin());
        const std::span<KeyedRow> all(rows);
        std::exception_ptr helperFailed;
        {
            const std::jthread helper([&] {
                try {
                    sortByKeyChunks(all.first(split), keys, descending);
                } catch (...) {
                    helperFailed = std::current_exception();
                }
            });
            sortByKeyChunks(all.subspan(split), keys, descending);
        }
        if (helperFailed)
            std::rethrow_exception(helperFailed);
    }
    for (std::size_t i = 0; i < rows.size(); ++i)
        order[i] = rows[i].row;
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
    try {
        return m_indexes[row.source].index.nameOf(row.item);
    } catch (const names::IndexDamaged&) {
        return {}; // blank, as textsOf shows it
    }
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
    const auto collectDistinct = [&](SharedColumn column) { idOfRow = distinctIds(column, reading, distinct); };
    const auto orderByDistinct = [&](auto less) {
        const auto rank = ranksOf(distinct.size(), less);
        for (std::uint32_t& id : idOfRow)
            id = rank[id];
        orderByRank(order, idOfRow, descending);
    };

    TextCollator collator(m_collationLocale);
    // The keys of a column of texts that differ from row to row, read a batch of rows at a time and
    // made on two threads.
    const auto keysInBatches = [&](SortKeys& keys, auto addTextOf) {
        TextCollator helper(m_collationLocale);
        TextBatch batch;
        constexpr std::size_t kBatchRows = 65536;
        for (std::size_t first = 0; first < reading.size(); first += kBatchRows) {
            const auto rows = std::span(reading).subspan(first, std::min(kBatchRows, reading.size() - first));
            batch.clear();
            for (const std::uint32_t row : rows)
                addTextOf(m_rows[row], batch);
            keys.setMany(rows, batch.views(), helper);
        }
    };
    switch (static_cast<FileColumn>(m_sort.key)) {
    case FileColumn::FName: {
        SortKeys names(collator, count);
        names.resize(count);
        keysInBatches(names, [this](const Row& row, TextBatch& batch) { batch.add(nameOf(row)); });
        orderByKeys(order, names, descending);
        break;
    }
    case FileColumn::FSize: {
        // Sizes the writer stored compare by their number (and equal numbers by their bytes), the
        // other texts after them by their keys.
        collectDistinct(SharedColumn::Size);
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
        collectDistinct(SharedColumn::Date);
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
        keysInBatches(locations, [this, &location](const Row& row, TextBatch& batch) {
            const RowTexts texts = textsOf(row);
            location = texts.directory;
            if (texts.located)
                location += texts.name;
            batch.add(location);
        });
        orderByKeys(order, locations, descending);
        break;
    }
    case FileColumn::FXml: {
        collectDistinct(SharedColumn::Catalog);
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
