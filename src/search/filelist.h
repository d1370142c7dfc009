#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "names/namesindex.h"
#include "search/rowlist.h"
#include "search/sortkeys.h"
#include "search/texttable.h"

namespace mellowby::search {

enum class FileColumn { FName = 0, FSize = 1, FDate = 2, FLocate = 3, FXml = 4 };
inline constexpr std::size_t kFileColumnCount = 5;

struct FileColumnSpec {
    std::string_view key;
    std::string_view header;
    int width;
};

// The columns of the file list, in order.
inline constexpr std::array<FileColumnSpec, kFileColumnCount> kFileColumns { {
    { "FName", "名称", 300 },
    { "FSize", "大小", 80 },
    { "FDate", "创建时间", 100 },
    { "FLocate", "所在位置", 200 },
    { "FXml", "所在文件", 60 },
} };

// One row as the list shows it.
struct FileRow {
    std::string name;
    std::string size;
    std::string date;
    std::string location;
    std::string catalog;

    bool operator==(const FileRow&) const = default;
};

enum class SortOrder { Ascending, Descending };

struct SortState {
    bool sorted = false;
    std::size_t key = 0; // 0-based column
    // Before the first click; the click toggles it, so the first click sorts ascending.
    SortOrder order = SortOrder::Descending;
};

// Told about changes of the list, so that a view can follow it. Between beginAppend and
// endAppend the new rows are not yet counted by size(); after endAppend they are.
class FileListObserver {
public:
    virtual ~FileListObserver() = default;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
    virtual void beginAppend(std::size_t first, std::size_t last) = 0;
    virtual void endAppend() = 0;
};

// The rows of the file list. A search can give millions of rows, so the rows a names index gives
// are kept as references into it (the file's number and its folder's, a few bytes a row) and their
// texts are read when a row is shown, sorted or opened. Other rows keep their name and size and
// share the texts many rows have in common (dates, folders, catalog names).
class FileList final : public IRowList {
public:
    // Rows appended during a fill reach the observer in batches of this many.
    static constexpr std::size_t kAppendBatch = 4096;

    // Text columns sort in the user's collation order (LC_COLLATE), or in that of the given locale.
    FileList();
    explicit FileList(std::string collationLocale);
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;
    ~FileList() override;

    void setObserver(FileListObserver* observer) { m_observer = observer; }

    // The rows the observer has been told about; rows still waiting for their batch are not
    // counted until flush() or finishFill().
    std::size_t size() const { return m_published; }
    FileRow row(std::size_t index) const;
    std::string cell(std::size_t index, FileColumn column) const;

    // A refill: clear(), any number of appendRow() calls, then finishFill(), which applies the
    // sorting when it is on.
    void clear() override;
    // location = directory + name, with directory ending in its separator (or empty).
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override;
    // A row of which only the name could be read: every other cell, the location included, is
    // empty.
    void appendNameOnly(std::string_view name) override;
    bool keepsIndexRows() const override { return true; }
    void beginIndexRows(const names::NamesIndex& index, std::string_view catalog) override;
    void appendIndexRow(std::uint32_t file, std::uint32_t directory) override;
    // Tells the observer about the rows appended since the last batch.
    void flush() override;
    void finishFill() override;
    // Asks the fill under way to stop after the row it is at; the next clear() forgets it.
    void requestStop() { m_stopRequested = true; }
    bool stopped() const override { return m_stopRequested; }

    const SortState& sortState() const { return m_sort; }
    // A click on the header of a column (1-based): sorting on, the order toggled, that column
    // the key, the rows sorted. Sizes sort by their number and dates by their day, texts that
    // are neither after them; the other columns in the collation order, letter case ignored.
    void columnClick(std::size_t column);

private:
    // A row of the list: one of m_textRows, or a file of one of m_indexes.
    struct Row {
        std::uint32_t source = 0; // kTextRows, or a position in m_indexes
        std::uint32_t item = 0; // the position in m_textRows, or the file's number
        std::uint32_t directory = 0; // the folder's number in the index
    };
    static constexpr std::uint32_t kTextRows = 0xFFFFFFFF;

    // Name and size lie one after the other in m_text; the rest are table positions.
    struct TextRow {
        std::uint64_t text = 0;
        std::uint32_t nameLength = 0;
        std::uint32_t sizeLength = 0;
        std::uint32_t date = 0;
        std::uint32_t directory = 0;
        std::uint32_t catalog = 0;
        bool located = true;
    };

    // The names index rows refer to, with texts and blocks of its own (the search reads its own
    // copy meanwhile), and the catalog those rows name.
    struct IndexSource {
        names::NamesIndex index;
        std::string catalog;
    };

    // The texts of a row; valid until the next call.
    struct RowTexts {
        std::string_view name;
        std::string_view size;
        std::string_view date;
        std::string_view directory;
        std::string_view catalog;
        bool located = true;
    };
    RowTexts textsOf(const Row& row) const;
    // The same, read through index (a copy of the row's index for another thread; none for a text
    // row).
    RowTexts textsOf(const Row& row, const names::NamesIndex* index) const;
    // The row's name alone: a list of text rows sorts by name without reaching for its shared texts.
    std::string_view nameOf(const Row& row, const names::NamesIndex* index) const;

    // The indexes of the rows as one thread reads them: the list's own, or copies of them made as
    // each is first needed, for a second thread.
    class IndexReaders {
    public:
        IndexReaders(const std::vector<IndexSource>& sources, bool ownCopies);
        const names::NamesIndex* of(const Row& row);

    private:
        const std::vector<IndexSource>& m_sources;
        std::vector<std::optional<names::NamesIndex>> m_copies;
    };
    // Each row's key of a column of texts that differ from row to row, made on two threads that
    // read their halves of the rows in the reading order. textOf gives a row's text, read through
    // the index it is given, in scratch when it makes one.
    using RowText = std::function<std::string_view(const Row&, const names::NamesIndex*, std::string& scratch)>;
    SortKeys rowKeys(const std::vector<std::uint32_t>& reading, const RowText& textOf) const;
    // The positions of the rows in the order their texts are best read in.
    std::vector<std::uint32_t> readingOrder() const;
    // Each row's text of a column of few distinct texts, as its id among them in distinct: rows of
    // an index are told apart by where their texts lie in it, so only the first row of each text
    // reads it.
    enum class SharedColumn { Size, Date, Catalog };
    std::vector<std::uint32_t> distinctIds(
        SharedColumn column, const std::vector<std::uint32_t>& reading, TextTable& distinct) const;

    void addRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog, bool located);
    void pushRow(const Row& row);
    void sortRows();

    // Chunked, so that millions of rows grow without copying them all and doubling the memory.
    std::deque<Row> m_rows;
    std::deque<TextRow> m_textRows;
    std::string m_text;
    TextTable m_dates;
    TextTable m_directories;
    TextTable m_catalogs;
    // The texts last added to each, which the next row mostly repeats.
    TextTable::Recent m_recentDate;
    TextTable::Recent m_recentDirectory;
    TextTable::Recent m_recentCatalog;
    std::size_t m_published = 0;
    FileListObserver* m_observer = nullptr;
    SortState m_sort;
    std::string m_collationLocale;
    // Also asked from the thread that reads a catalog while its first index is made.
    std::atomic<bool> m_stopRequested = false;
    std::vector<IndexSource> m_indexes;
    // What beginIndexRows was last told; its source is made with the first row.
    const names::NamesIndex* m_pendingIndex = nullptr;
    std::string m_pendingCatalog;
};

} // namespace mellowby::search
