#pragma once

#include <cstdint>
#include <string_view>

namespace mellowby::names {
class NamesIndex;
}

namespace mellowby::search {

// Where the rows of a listing or a search go: the window's file list, or the command-line tool's
// standard output, which prints each row as it comes instead of holding them all.
class IRowList {
public:
    virtual ~IRowList() = default;

    // A refill: clear(), any number of rows, then finishFill().
    virtual void clear() = 0;
    // location = directory + name, with directory ending in its separator (or empty).
    virtual void appendRow(std::string_view name, std::string_view size, std::string_view date,
        std::string_view directory, std::string_view catalog)
        = 0;
    // A row of which only the name could be read: every other cell, the location included, is
    // empty.
    virtual void appendNameOnly(std::string_view name) = 0;
    // Passes on the rows appended since the last batch.
    virtual void flush() = 0;
    virtual void finishFill() = 0;
    // Whoever reads the rows has asked the fill to stop: a search then ends at its next row,
    // and the rows it gave stay.
    virtual bool stopped() const { return false; }

    // Whether the list keeps the rows of a names index as references into it, made into texts only
    // when they are needed; a list that does not is given every row's texts.
    virtual bool keepsIndexRows() const { return false; }
    // Where keepsIndexRows(): the rows appended next are files of index (which the list copies
    // when it keeps a row of it) and name catalog as their catalog.
    virtual void beginIndexRows(const names::NamesIndex& /*index*/, std::string_view /*catalog*/) { }
    // The file of that number and its folder, as the index's search gave them.
    virtual void appendIndexRow(std::uint32_t /*file*/, std::uint32_t /*directory*/) { }
};

} // namespace mellowby::search
