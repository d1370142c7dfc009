#pragma once

#include "searchtesting.h"

#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "search/queryparser.h"
#include "search/queryrun.h"

namespace mellowby::search::testing {

// The rows a query finds, one text each: "catalog|location" for a file, "catalog|location/" for a
// folder, with " bytes@ns" after a file whose exact facts came along.
class CollectedRows final : public IQueryRows {
public:
    void appendRow(const QueryRow& row, const std::optional<names::FileFacts>& facts) override
    {
        std::string text = std::string(row.catalog) + "|" + std::string(row.directory) + std::string(row.name);
        if (row.folder)
            text += "/";
        if (facts)
            text += " " + std::to_string(facts->size) + "@" + std::to_string(facts->modifiedNs);
        texts.push_back(std::move(text));
    }
    void appendNameOnly(std::string_view name) override { texts.push_back("name only|" + std::string(name)); }
    void flush() override { }
    bool wantsFacts() const override { return true; }

    std::vector<std::string> texts;
};

// Exact facts given by the test instead of a catalog database: per catalog name, per file number
// in document order.
using FactsByCatalog = std::map<std::string, std::vector<names::FileFacts>>;

class GivenFacts final : public IFileFacts {
public:
    explicit GivenFacts(const std::vector<names::FileFacts>& facts)
        : m_facts(facts)
    {
    }
    std::optional<names::FileFacts> factsOf(std::uint32_t file) const override
    {
        return file < m_facts.size() ? std::optional(m_facts[file]) : std::nullopt;
    }

private:
    const std::vector<names::FileFacts>& m_facts;
};

inline FactsOfCatalog givenFacts(const FactsByCatalog& facts)
{
    return [&facts](const names::NamesIndex&, const std::string& catalog) -> std::unique_ptr<IFileFacts> {
        const auto found = facts.find(catalog);
        return found == facts.end() ? nullptr : std::make_unique<GivenFacts>(found->second);
    };
}

// The time zone of the process for one test: dates are compared in local time.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone()
    {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    std::optional<std::string> m_old;
};

// Runs query over catalogs, with the facts given (none: each catalog as one without a database).
inline std::vector<std::string> foundBy(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::string& query, const std::vector<std::string>& catalogs, const FactsByCatalog& facts = {})
{
    const auto parsed = parseQuery(query);
    if (!parsed)
        return { "error: " + parsed.error().text() };
    CollectedRows rows;
    findQueryRows(indexes, box, *parsed, catalogs, rows, givenFacts(facts));
    return rows.texts;
}

} // namespace mellowby::search::testing
