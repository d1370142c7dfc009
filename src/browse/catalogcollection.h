#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/clsxmlfile.h"

namespace mellowby::browse {

// The loaded catalogs in the order they were loaded, keyed by catalog name as the store tells
// names apart (catalogNameKey: without regard to letter case, among others).
class CatalogCollection {
public:
    std::size_t count() const { return m_records.size(); }
    // 0-based position.
    const app::clsXmlFile& at(std::size_t position) const { return m_records[position]; }
    const app::clsXmlFile* find(std::string_view key) const;
    // Appends under the record's FileName; false when that key is already present.
    bool add(app::clsXmlFile record);
    // False when no record has that key.
    bool remove(std::string_view key);
    void clear();

private:
    std::vector<app::clsXmlFile> m_records;
    std::unordered_map<std::string, std::size_t> m_positions; // folded key -> position
};

} // namespace mellowby::browse
