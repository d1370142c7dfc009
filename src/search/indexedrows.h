#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "names/namesindexcache.h"
#include "search/nodeaddress.h"
#include "search/skippingrows.h"

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

class IRowList;

// The rows of a catalog made from its names index: the very rows the catalog file gives through
// the document model (same texts, same order, same boxes), without reading the file. A damaged
// index is found out as its blocks are read, maybe after some rows went out; those rows are
// true ones, and rowsGiven counts them, so that the caller can go on after them with another
// reader of the catalog (see SkippingRows).

// Appends the rows of the files whose upper-cased names hold findText (trimmed and upper-cased),
// in document order, naming catalogName as their catalog. False when the index turned out damaged.
bool searchIndex(const names::NamesIndex& index, platform::IMessageBox& box, IRowList& list, std::string_view findText,
    const std::string& catalogName, std::size_t& rowsGiven);

// Fills list with the rows of the files of the folder at address: the Disk element for an empty
// address, when its title is rootTitle (when one is given). True when the catalog has that
// folder, false when it has none, nothing when the index turned out damaged.
std::optional<bool> listIndexFolder(const names::NamesIndex& index, IRowList& list,
    const std::optional<std::string>& rootTitle, const NodeAddress& address, std::size_t& rowsGiven);

// Runs attempt on the catalog's names index, and once more on one made again when the first
// turns out damaged, each going on after the rows the one before gave (counted in given, for the
// catalog file to go on from when both fail). attempt returns its result, or nothing when the
// index turned out damaged. Nothing when the catalog has no index to use or both failed, or when
// the list was stopped while the index was made (the list says so: the file is not read then).
template <typename Result>
std::optional<Result> throughIndex(const names::NamesIndexCache& indexes, const std::string& catalogName,
    IRowList& list, std::size_t& given,
    const std::function<std::optional<Result>(const names::NamesIndex&, IRowList&, std::size_t&)>& attempt)
{
    for (const bool remake : { false, true }) {
        const auto index = indexes.indexOf(catalogName, remake, [&list] { return list.stopped(); });
        if (!index)
            break;
        SkippingRows rest(list, given);
        std::size_t rows = 0;
        if (auto result = attempt(*index, rest, rows))
            return result;
        given = std::max(given, rows);
    }
    return std::nullopt;
}

} // namespace mellowby::search
