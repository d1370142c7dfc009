#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "names/filefacts.h"

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

// One file of a catalog as the search gives it, with the folder it lies in inside the catalog.
struct CatalogFile {
    std::string_view directory; // the folders below the Disk element, joined by the catalog's separator
    std::string_view name;
    std::string_view location; // as the file list shows it
    std::string_view size;
    std::string_view date;
    // Its exact size and time, where the catalog's database belongs to it.
    std::optional<names::FileFacts> facts;
};

// Whether the files of the catalog catalogName come with their exact facts.
bool catalogHasFacts(const names::NamesIndexCache& indexes, const std::string& catalogName);

// Gives every file of the catalog catalogName to each, in document order, as an empty search
// finds them: through its names index where it has one, else from the catalog file, with the
// boxes the search shows. False when the catalog cannot be read at all.
bool forEachCatalogFile(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::string& catalogName, const std::function<void(const CatalogFile&)>& each);

} // namespace mellowby::search
