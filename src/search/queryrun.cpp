#include "search/queryrun.h"

#include <exception>
#include <span>

#include "app/showmsg.h"
#include "catalog/catalogformat.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "names/namesindex.h"
#include "names/namesindexcache.h"
#include "names/namesindexformat.h"
#include "search/datetextdays.h"
#include "search/filesearch.h"
#include "search/locationlimit.h"
#include "search/oncemessagebox.h"
#include "search/queryplan.h"
#include "search/rowlist.h"
#include "search/xmllocator.h"

namespace mellowby::search {

namespace {

class IndexFacts final : public IFileFacts {
public:
    explicit IndexFacts(const names::NamesIndex& index)
        : m_index(index)
    {
    }
    std::optional<names::FileFacts> factsOf(std::uint32_t file) const override { return m_index.facts(file); }

private:
    const names::NamesIndex& m_index;
};

// The rows of one catalog on their way out: counted, the first `skip` of them dropped (given
// already by a reader of the catalog that failed), and the locations they begin with summed up
// against the location budget, as the search sums them.
class CatalogRows {
public:
    CatalogRows(IQueryRows& rows, platform::IMessageBox& box, std::size_t skip)
        : m_rows(rows)
        , m_box(box)
        , m_skip(skip)
    {
    }

    // False when the budget is spent (the catalog's rows end there, after the box) or no more
    // rows are wanted.
    bool add(const QueryRow& row, const std::optional<names::FileFacts>& facts)
    {
        if (m_rows.stopped())
            return false;
        // Rows of one folder come together: its number, where the reader has one, tells them
        // without comparing their locations.
        const bool sameFolder = row.folderNumber && row.folderNumber == m_lastFolderNumber;
        m_lastFolderNumber = row.folderNumber;
        if (!sameFolder && row.directory != m_lastDirectory) {
            m_lastDirectory.assign(row.directory);
            m_locationBytes += row.directory.size();
            if (m_locationBytes > catalog::kMaxLocationBytes) {
                app::ShowMsg(m_box, kSearchFailure, 0, kLocationsTooLong, kSearchSource);
                return false;
            }
        }
        if (!skipped())
            m_rows.appendRow(row, facts);
        ++m_given;
        return true;
    }
    void addNameOnly(std::string_view name)
    {
        if (!skipped())
            m_rows.appendNameOnly(name);
        ++m_given;
    }

    std::size_t given() const { return m_given; }
    bool wantsFacts() const { return m_rows.wantsFacts(); }
    void flush() { m_rows.flush(); }

private:
    bool skipped()
    {
        if (m_skip == 0)
            return false;
        --m_skip;
        return true;
    }

    IQueryRows& m_rows;
    platform::IMessageBox& m_box;
    std::size_t m_skip;
    std::size_t m_given = 0;
    std::string m_lastDirectory;
    std::optional<std::uint32_t> m_lastFolderNumber;
    std::size_t m_locationBytes = 0;
};

// What one run needs of every catalog it reads.
struct RunContext {
    platform::IMessageBox& box;
    DateTextDays& dates;
    const FactsOfCatalog& facts;
};

// The folders of an index that fit test, in document order (the Disk element is the catalog,
// not one of its folders); false when the budget ran out.
bool indexFolders(
    const names::NamesIndex& index, QueryEvaluator& test, const std::string& catalogName, CatalogRows& out)
{
    std::string title;
    std::string parentPrefix;
    for (std::uint32_t number = 1; number < index.directoryCount(); ++number) {
        const names::NamesIndex::DirectoryView folder = index.directory(number);
        if (folder.parent >= number)
            throw names::IndexDamaged {};
        // The folder that stands for an archive is the archive's file row already.
        if (index.isArchive(number, folder))
            continue;
        title.assign(folder.title);
        parentPrefix.assign(index.directory(folder.parent).prefix);
        const QueryRow row { true, 0, title, {}, {}, parentPrefix, catalogName, {}, index.isInArchive(number) };
        if (test.holds(row) && !out.add(row, std::nullopt))
            return false;
    }
    return true;
}

void indexFiles(const names::NamesIndex& index, QueryEvaluator& test, const CatalogQuery& plan,
    const std::string& catalogName, CatalogRows& out)
{
    std::uint32_t lastDirectory = names::indexformat::kNone;
    std::string prefix;
    index.findNames(plan.needle, [&](std::span<const names::NamesIndex::Hit> hits) {
        for (const names::NamesIndex::Hit& hit : hits) {
            if (hit.directory != lastDirectory) {
                prefix = index.directory(hit.directory).prefix;
                lastDirectory = hit.directory;
            }
            const QueryRow row { false, hit.number, hit.name, hit.size, hit.date, prefix, catalogName, hit.directory,
                index.isMember(hit.number) };
            if (test.holds(row) && !out.add(row, out.wantsFacts() ? test.factsOfLastRow() : std::nullopt))
                return false;
        }
        return true;
    });
}

// One catalog through its names index; false when the index turned out damaged.
bool rowsOfIndex(const names::NamesIndex& index, RunContext& run, const CatalogQuery& plan,
    const std::string& catalogName, CatalogRows& out)
{
    try {
        if (!isNever(plan.folders)) {
            QueryEvaluator test(plan.folders, run.dates, nullptr);
            if (!indexFolders(index, test, catalogName, out)) {
                out.flush();
                return true;
            }
        }
        if (!isNever(plan.files)) {
            const std::unique_ptr<IFileFacts> facts = run.facts(index, catalogName);
            QueryEvaluator test(plan.files, run.dates, facts.get());
            indexFiles(index, test, plan, catalogName, out);
        }
    } catch (const names::IndexDamaged&) {
        out.flush();
        return false;
    }
    out.flush();
    return true;
}

// The rows of a search of a catalog file, tested against the rest of the query.
class TestedRows final : public IRowList {
public:
    TestedRows(QueryEvaluator& test, CatalogRows& out)
        : m_test(test)
        , m_out(out)
    {
    }
    void clear() override { }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override
    {
        const QueryRow row { false, 0, name, size, date, directory, catalog, {} };
        if (!m_ended && m_test.holds(row))
            m_ended = !m_out.add(row, std::nullopt);
    }
    void appendNameOnly(std::string_view name) override
    {
        const QueryRow row { false, 0, name, {}, {}, {}, {}, {} };
        if (!m_ended && m_test.holds(row))
            m_out.addNameOnly(name);
    }
    void flush() override { m_out.flush(); }
    void finishFill() override { }

private:
    QueryEvaluator& m_test;
    CatalogRows& m_out;
    bool m_ended = false;
};

// The Directory elements below the Disk element that fit test, in document order, walked with a
// loop; the location of the folder being looked at is kept as one text that grows and shrinks.
bool documentFolders(const catalog::CatalogDocument& document, platform::IMessageBox& box, QueryEvaluator& test,
    const std::string& catalogName, CatalogRows& out)
{
    const pugi::xml_node disk = document.documentElement();
    if (!catalog::isElement(disk, catalog::kDiskElement))
        return true;
    XmlLocator locator(box, XmlLocator::separatorOf(disk));
    std::string prefix = locator.prefixFor(disk);
    std::vector<std::size_t> ends; // the length of prefix at each level above the current one
    pugi::xml_node node = disk.first_child();
    while (node) {
        if (catalog::isElement(node, catalog::kDirectoryElement)) {
            const std::string_view title = catalog::attributeAt(node, catalog::kTitlePosition).value();
            const QueryRow row { true, 0, title, {}, {}, prefix, catalogName, {} };
            if (test.holds(row) && !out.add(row, std::nullopt))
                return false;
            if (node.first_child()) {
                ends.push_back(prefix.size());
                locator.extendPrefix(prefix, node);
                node = node.first_child();
                continue;
            }
        }
        while (!node.next_sibling() && !ends.empty()) {
            node = node.parent();
            prefix.resize(ends.back());
            ends.pop_back();
        }
        node = node.next_sibling();
    }
    return true;
}

void rowsOfDocument(const catalog::CatalogDocument& document, RunContext& run, const CatalogQuery& plan,
    const std::string& catalogName, CatalogRows& out)
{
    if (!document.loaded())
        return;
    if (!isNever(plan.folders)) {
        QueryEvaluator test(plan.folders, run.dates, nullptr);
        if (!documentFolders(document, run.box, test, catalogName, out)) {
            out.flush();
            return;
        }
    }
    if (!isNever(plan.files)) {
        QueryEvaluator test(plan.files, run.dates, nullptr);
        TestedRows tested(test, out);
        findFileInDocument(run.box, tested, plan.needle, document, catalogName);
    }
    out.flush();
}

void rowsOfCatalog(const names::NamesIndexCache& indexes, RunContext& run, const CatalogQuery& plan,
    const std::string& catalogName, IQueryRows& rows)
{
    // As the search does: an index found damaged is made again, and should that one be damaged
    // too, the file is read; each goes on after the rows the one before gave.
    std::size_t given = 0;
    for (const bool remake : { false, true }) {
        const auto index = indexes.indexOf(catalogName, remake, [&rows] { return rows.stopped(); });
        if (!index)
            break;
        CatalogRows out(rows, run.box, given);
        if (rowsOfIndex(*index, run, plan, catalogName, out))
            return;
        given = std::max(given, out.given());
    }
    if (rows.stopped())
        return;
    const catalog::CatalogDocument document = indexes.store().loadCatalog(catalogName);
    CatalogRows out(rows, run.box, given);
    rowsOfDocument(document, run, plan, catalogName, out);
}

} // namespace

std::unique_ptr<IFileFacts> factsOfIndex(const names::NamesIndex& index, const std::string&)
{
    if (!index.hasFacts())
        return nullptr;
    return std::make_unique<IndexFacts>(index);
}

void findQueryRows(const names::NamesIndexCache& indexes, platform::IMessageBox& box, const QueryNode& query,
    const std::vector<std::string>& catalogs, IQueryRows& rows, const FactsOfCatalog& facts)
{
    DateTextDays dates;
    // As the search does: a box said for one file is not said again for the next.
    OnceMessageBox onceBox(box);
    RunContext run { onceBox, dates, facts };
    for (const std::string& catalogName : catalogs) {
        if (rows.stopped())
            return;
        const CatalogQuery plan = planFor(query, catalogName);
        if (isNever(plan.files) && isNever(plan.folders))
            continue;
        try {
            rowsOfCatalog(indexes, run, plan, catalogName, rows);
        } catch (const std::exception& failure) {
            app::ShowMsg(onceBox, kSearchFailure, 0, failure.what(), kSearchSource);
        }
        rows.flush();
    }
}

} // namespace mellowby::search
