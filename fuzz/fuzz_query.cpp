// The bytes are a query as a user may type it. Reading it must work on anything: a query that
// cannot be read names a column inside it (or just after it); one that can is asked about a few
// rows, and the plan made of it for a catalog (the catalog's in: terms decided, a first pass over
// the names, cheaper tests first) must find exactly the rows the whole query finds.

#include "fuzzcheck.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <unicode/utf8.h>

#include "catalog/uppercaser.h"
#include "search/datetextdays.h"
#include "search/queryevaluator.h"
#include "search/queryparser.h"
#include "search/queryplan.h"

namespace {

using namespace mellowby;
using fuzz::require;

// Exact facts for the second file only, as a catalog database would give them.
class SomeFacts final : public search::IFileFacts {
public:
    std::optional<names::FileFacts> factsOf(std::uint32_t file) const override
    {
        if (file != 1)
            return std::nullopt;
        return names::FileFacts { 734003201, 1079308800LL * 1'000'000'000 + 5, 5 };
    }
};

constexpr std::array<search::QueryRow, 5> kRows { {
    { false, 0, "photo 2004.JPG", "3KB", "2004年3月15日", "/media/cdrom/", "光盘 1", std::nullopt },
    { false, 1, "big.iso", "716801KB", "2005年6月5日", "/media/cdrom/Docs/", "光盘 1", std::nullopt },
    { false, 2, "straße (1).txt", "0KB", "not a date", "/media/cdrom/a|b/", "光盘 1", std::nullopt },
    { true, 0, "Docs", {}, {}, "/media/cdrom/", "光盘 1", std::nullopt },
    { true, 0, "照片.d", {}, {}, "/media/cdrom/Docs/", "光盘 1", std::nullopt },
} };

std::size_t charactersOf(std::string_view text)
{
    std::size_t count = 0;
    for (std::int32_t at = 0; at < static_cast<std::int32_t>(text.size());) {
        UChar32 character = 0;
        U8_NEXT(text.data(), at, static_cast<std::int32_t>(text.size()), character);
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0; // longer queries only take longer
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto query = search::parseQuery(text);
    if (!query) {
        require(query.error().column >= 1 && query.error().column <= charactersOf(text) + 1,
            "a fault is placed inside the query or just after it");
        require(!query.error().expected.empty(), "a fault says what was expected");
        return 0;
    }

    search::DateTextDays dates("zh_CN");
    const SomeFacts facts;
    search::QueryEvaluator whole(*query, dates, &facts);
    const search::CatalogQuery plan = search::planFor(*query, "光盘 1");
    search::QueryEvaluator files(plan.files, dates, &facts);
    search::QueryEvaluator folders(plan.folders, dates, &facts);
    catalog::UpperCaser upper;
    for (const search::QueryRow& row : kRows) {
        const bool found = whole.holds(row);
        if (row.folder) {
            if (!search::isNever(plan.folders))
                require(folders.holds(row) == found, "the plan finds the folders the query finds");
        } else {
            const bool passes = upper.upper(row.name).find(plan.needle) != std::string_view::npos;
            require((passes && files.holds(row)) == found, "the plan finds the files the query finds");
        }
    }
    return 0;
}
