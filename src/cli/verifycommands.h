#pragma once

#include "catalogdb/databasestate.h"

#include <optional>
#include <string>

#include "scan/earliercatalog.h"
#include "scan/earlierchanges.h"

namespace mellowby::catalogdb {
struct CatalogFiles;
}

namespace mellowby::cli {

struct Tool;

// Verifies a catalog's files on its disc: 0 when every file is as the catalog has it, 1 when any
// is not, 2 when it could not be verified.
int verifyCommand(Tool& tool);

// scan --update: the catalog of name as its database holds it, read beside the scan that replaces
// it, with the algorithm of its digests at a glance (empty without); nothing after saying why it
// cannot be updated.
struct CatalogToUpdate {
    std::string catalog; // its name in the Data folder
    scan::EarlierCatalog earlier;
    std::string algorithm;
};
std::optional<CatalogToUpdate> catalogToUpdate(Tool& tool, const std::string& name);
// Says why the catalog cannot be updated from its database.
void printNotUpdatable(const std::string& catalog, catalogdb::DatabaseState state);
// Prints what the scan that replaced a catalog, made at root, found changed; the records go where
// the command's records go, the counts to standard error.
void printChanges(Tool& tool, const scan::EarlierChanges& changes, const std::string& root);

} // namespace mellowby::cli
