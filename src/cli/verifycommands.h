#pragma once

#include <optional>
#include <string>

namespace mellowby::catalogdb {
struct CatalogFiles;
}

namespace mellowby::cli {

struct Tool;

// Verifies a catalog's files on its disc: 0 when every file is as the catalog has it, 1 when any
// is not, 2 when it could not be verified.
int verifyCommand(Tool& tool);

// scan --update: the catalog of name as its database holds it, for the scan that replaces it;
// nothing after saying why it cannot be updated.
std::optional<catalogdb::CatalogFiles> catalogToUpdate(Tool& tool, const std::string& name);
// Prints what the scan that replaced earlier, made at root, found changed (now: the files it
// wrote; none when it wrote no database); the records go where the command's records go, the
// counts to standard error.
void printChanges(
    Tool& tool, const catalogdb::CatalogFiles& earlier, const catalogdb::CatalogFiles* now, const std::string& root);

} // namespace mellowby::cli
