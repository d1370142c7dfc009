#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "names/filefacts.h"
#include "search/queryevaluator.h"
#include "search/queryexpression.h"

namespace mellowby::names {
class NamesIndex;
class NamesIndexCache;
} // namespace mellowby::names

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

// Where the rows a query finds go: the window's file list, or the tool's output with the exact
// facts of each file beside it.
class IQueryRows {
public:
    virtual ~IQueryRows() = default;
    // facts: the file's exact facts, when wantsFacts() and its catalog has them.
    virtual void appendRow(const QueryRow& row, const std::optional<names::FileFacts>& facts) = 0;
    // A File element of which only the name could be read, as the search lists it.
    virtual void appendNameOnly(std::string_view name) = 0;
    // Passes on the rows appended since the last batch.
    virtual void flush() = 0;
    virtual bool wantsFacts() const { return false; }
    // True once whoever takes the rows wants no more: the query ends at the next row.
    virtual bool stopped() const { return false; }
};

// Where the exact facts of a catalog's files come from: by default what its names index carries
// from its database (nothing for a catalog without one). Tests give facts of their own here.
using FactsOfCatalog
    = std::function<std::unique_ptr<IFileFacts>(const names::NamesIndex& index, const std::string& catalogName)>;
std::unique_ptr<IFileFacts> factsOfIndex(const names::NamesIndex& index, const std::string& catalogName);

// Appends the rows of the catalogs that query finds, catalog after catalog in the order given;
// in each, the folders it finds (only for a query that names folder:) and then the files, each in
// document order. A catalog that in: rules out is never opened. Each catalog is read through its
// names index, with a first pass over the names where the query names a word or a type, facts
// read only for the files that pass it; a catalog without an index, or whose index turns out
// damaged, is read from its file, as the search reads it, with the search's boxes.
void findQueryRows(const names::NamesIndexCache& indexes, platform::IMessageBox& box, const QueryNode& query,
    const std::vector<std::string>& catalogs, IQueryRows& rows, const FactsOfCatalog& facts = factsOfIndex);

} // namespace mellowby::search
