#include "browse/catalogcollection.h"

#include "catalog/catalogstore.h"

namespace mellowby::browse {

const app::clsXmlFile* CatalogCollection::find(std::string_view key) const
{
    const auto found = m_positions.find(catalog::catalogNameKey(key));
    return found == m_positions.end() ? nullptr : &m_records[found->second];
}

bool CatalogCollection::add(app::clsXmlFile record)
{
    if (!m_positions.emplace(catalog::catalogNameKey(record.FileName()), m_records.size()).second)
        return false;
    m_records.push_back(std::move(record));
    return true;
}

bool CatalogCollection::remove(std::string_view key)
{
    const auto found = m_positions.find(catalog::catalogNameKey(key));
    if (found == m_positions.end())
        return false;
    const std::size_t position = found->second;
    m_positions.erase(found);
    m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(position));
    // The records behind it move up one place.
    for (std::size_t i = position; i < m_records.size(); ++i)
        m_positions[catalog::catalogNameKey(m_records[i].FileName())] = i;
    return true;
}

void CatalogCollection::clear()
{
    m_records.clear();
    m_positions.clear();
}

} // namespace mellowby::browse
