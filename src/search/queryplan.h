#pragma once

#include <string>
#include <string_view>

#include "search/queryexpression.h"

namespace mellowby::search {

// What a query asks of one catalog, made ready to run over it.
struct CatalogQuery {
    // The test of each of its files, and of each of its folders: the catalog's in: terms decided,
    // folder: false for files and true for folders, constants folded, cheaper tests first. Never
    // when no file or folder of the catalog can fit (folders fit only queries that name folder:).
    QueryNode files;
    QueryNode folders;
    // Upper-cased text that the upper-cased name of every file the query finds holds, for a first
    // pass over the names as a search makes it; empty when the query names none. A word found so
    // is taken out of files, since the pass has tested it.
    std::string needle;
};

CatalogQuery planFor(const QueryNode& query, std::string_view catalogName);

// The tree with what known decides taken as decided, constants folded.
struct KnownOfRow {
    std::string_view upperCatalog; // the catalog's name, upper-cased
    bool folder = false;
};
QueryNode resolved(const QueryNode& node, const KnownOfRow& known);

bool isNever(const QueryNode& node);

} // namespace mellowby::search
