#include "search/catalogfiles.h"

#include <optional>

#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "names/namesindexcache.h"
#include "search/filesearch.h"
#include "search/rowlist.h"
#include "search/xmllocator.h"

namespace mellowby::search {

namespace {

// Rows of an empty search turned into files: the folder inside the catalog is what the row's
// location adds to the location of the Disk element.
class FileRows final : public IRowList {
public:
    FileRows(std::string rootPrefix, std::optional<names::NamesIndex> facts,
        const std::function<void(const CatalogFile&)>& each)
        : m_rootPrefix(std::move(rootPrefix))
        , m_facts(std::move(facts))
        , m_each(each)
    {
    }
    void clear() override { }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view) override
    {
        std::string_view folder = directory;
        if (folder.starts_with(m_rootPrefix))
            folder.remove_prefix(m_rootPrefix.size());
        if (!folder.empty() && !m_rootPrefix.empty() && folder.back() == m_rootPrefix.back())
            folder.remove_suffix(1);
        m_location.assign(directory).append(name);
        m_each({ folder, name, m_location, size, date, nextFacts() });
    }
    void appendNameOnly(std::string_view name) override { m_each({ {}, name, {}, {}, {}, nextFacts() }); }
    void flush() override { }
    void finishFill() override { }

private:
    // The rows come in document order, which is the order of the index's files.
    std::optional<names::FileFacts> nextFacts()
    {
        const std::uint32_t file = m_file++;
        if (!m_facts || file >= m_facts->fileCount())
            return std::nullopt;
        try {
            return m_facts->facts(file);
        } catch (const names::IndexDamaged&) {
            m_facts.reset(); // the rows go on without
            return std::nullopt;
        }
    }

    std::string m_rootPrefix;
    std::optional<names::NamesIndex> m_facts; // the index, when it carries the catalog's facts
    std::uint32_t m_file = 0;
    const std::function<void(const CatalogFile&)>& m_each;
    std::string m_location;
};

// What the locations of the files of the Disk element begin with.
std::optional<std::string> rootPrefixOf(
    const names::NamesIndexCache& indexes, platform::IMessageBox& box, const std::string& catalogName)
{
    try {
        if (const auto index = indexes.indexOf(catalogName))
            return std::string(index->directory(0).prefix);
    } catch (const names::IndexDamaged&) {
        // The catalog file says it as well.
    }
    const catalog::CatalogDocument document = indexes.store().loadCatalog(catalogName);
    if (!document.loaded())
        return std::nullopt;
    const pugi::xml_node disk = document.documentElement();
    return XmlLocator(box, XmlLocator::separatorOf(disk)).prefixFor(disk);
}

// The catalog's names index when it carries the facts of its database.
std::optional<names::NamesIndex> indexWithFacts(const names::NamesIndexCache& indexes, const std::string& catalogName)
{
    try {
        if (auto index = indexes.indexOf(catalogName); index && index->hasFacts())
            return index;
    } catch (const names::IndexDamaged&) {
        // none then
    }
    return std::nullopt;
}

} // namespace

bool catalogHasFacts(const names::NamesIndexCache& indexes, const std::string& catalogName)
{
    return indexWithFacts(indexes, catalogName).has_value();
}

bool forEachCatalogFile(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::string& catalogName, const std::function<void(const CatalogFile&)>& each)
{
    const auto root = rootPrefixOf(indexes, box, catalogName);
    if (!root)
        return false;
    FileRows rows(*root, indexWithFacts(indexes, catalogName), each);
    findFileInXml(indexes, box, rows, "", catalogName);
    return true;
}

} // namespace mellowby::search
