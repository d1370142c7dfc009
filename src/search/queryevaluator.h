#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/utext.h>

#include "catalog/uppercaser.h"
#include "names/filefacts.h"
#include "search/queryexpression.h"

U_NAMESPACE_BEGIN
class RegexMatcher;
class RegexPattern;
U_NAMESPACE_END

namespace mellowby::search {

class DateTextDays;

// One row a query is asked about: a file or a folder of a catalog, as the catalog gives it.
struct QueryRow {
    bool folder = false;
    std::uint32_t file = 0; // a file's number in its catalog, in document order, for its facts
    std::string_view name;
    std::string_view size; // the size and date texts as the catalog holds them
    std::string_view date;
    std::string_view directory; // what its location begins with: location = directory + name
    std::string_view catalog;
    // The number of the folder it lies in, where its reader has one: a change of folder is then
    // seen without comparing locations.
    std::optional<std::uint32_t> folderNumber;
    // It lies inside an archive: its location runs through the archive's.
    bool inArchive = false;
};

// Where the exact facts of a catalog's files come from (its database, through the names index).
class IFileFacts {
public:
    virtual ~IFileFacts() = default;
    // Nothing when the catalog or the file has none.
    virtual std::optional<names::FileFacts> factsOf(std::uint32_t file) const = 0;
};

// Whether rows fit a query. Texts are compared as the search compares them: upper-cased by the one
// rule of names (catalog::UpperCaser), unless case: asked for letter case.
//
// Sizes and dates come from the file's exact facts where its catalog has them, else from the
// catalog's texts:
// - A size text of n KB is the size rounded up to whole kilobytes, so it stands for any size in
//   ((n-1) KiB, n KiB], and for 0 exactly when n is 0. A size: term holds when some size in that
//   range would fit it: the query never misses a file it may be after. At whole kilobytes, > and
//   <= give what the exact sizes give; >= and < also take in the files of the kilobyte at the
//   bound ("4KB" fits both size:>=4kb and size:<4kb).
// - A date text is that day. Exact times are taken in the local time zone: a dm: term holds from
//   local midnight at the start of its first day to local midnight after its last.
// A row whose size or date is not known (a folder, a text that is not one) fits no size: or dm:.
class QueryEvaluator {
public:
    // facts: where the exact facts of the rows' files come from, or nullptr.
    QueryEvaluator(QueryNode query, DateTextDays& dates, const IFileFacts* facts);
    ~QueryEvaluator();
    QueryEvaluator(const QueryEvaluator&) = delete;
    QueryEvaluator& operator=(const QueryEvaluator&) = delete;

    bool holds(const QueryRow& row);
    // The exact facts of the row last asked about (fetched if holds() did not need them).
    std::optional<names::FileFacts> factsOfLastRow();

private:
    // A node with what evaluating it needs made ready.
    struct Step {
        const QueryNode* node = nullptr;
        std::vector<Step> children;
        std::int64_t fromNs = 0; // ModifiedIn: the instants of its days, both ends included
        std::int64_t toNs = 0;
        std::unique_ptr<icu::RegexPattern> pattern;
        std::unique_ptr<icu::RegexMatcher> matcher;
    };
    Step prepare(const QueryNode& node) const;
    bool holds(Step& step);

    std::string_view upperName();
    std::string_view location();
    std::string_view upperLocation();
    std::string_view extension();
    const std::optional<names::FileFacts>& facts();
    bool sizeFits(const SizeRange& sizes);
    bool dateFits(const Step& step);
    bool nameMatches(Step& step);

    QueryNode m_query;
    Step m_root;
    DateTextDays& m_dates;
    const IFileFacts* m_facts;

    // What is known of the row being asked about, each found when first needed.
    const QueryRow* m_row = nullptr;
    enum Known : unsigned { UpperName = 1, Location = 2, UpperLocation = 4, Extension = 8, Facts = 16 };
    unsigned m_known = 0;
    catalog::UpperCaser m_nameUpper;
    catalog::UpperCaser m_locationUpper;
    catalog::UpperCaser m_extensionUpper;
    std::string_view m_upperName;
    std::string m_location;
    std::string_view m_upperLocation;
    std::string_view m_extension;
    std::optional<names::FileFacts> m_rowFacts;
    UText m_text = UTEXT_INITIALIZER;
};

} // namespace mellowby::search
