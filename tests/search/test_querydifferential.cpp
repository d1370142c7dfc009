// Random queries, seeded, held against an evaluation written here from what each term means, over
// catalogs of hostile names: the real run (plan, first pass over the names, evaluator) must give
// the same rows in the same order.
#include "querytesting.h"

#include <chrono>
#include <functional>
#include <random>
#include <regex>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace mellowby::search {
namespace {

using tests::CatalogMaker;

constexpr std::int64_t kNs = 1'000'000'000;
constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kStart2003 = 1041379200;

std::string upper(const std::string& text)
{
    std::string out;
    icu::UnicodeString::fromUTF8(text).toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

bool contains(const std::string& in, const std::string& part)
{
    return in.find(part) != std::string::npos;
}

// Fits pattern (* any characters, ? one) character by character, both upper-cased.
bool globFits(const icu::UnicodeString& pattern, int p, const icu::UnicodeString& text, int t)
{
    if (p == pattern.length())
        return t == text.length();
    if (pattern[p] == u'*')
        return globFits(pattern, p + 1, text, t) || (t < text.length() && globFits(pattern, p, text, t + 1));
    return t < text.length() && (pattern[p] == u'?' || pattern[p] == text[t]) && globFits(pattern, p + 1, text, t + 1);
}

// A row as the test made it: a file or a folder, with its true size and times.
struct Row {
    bool folder = false;
    std::string catalog;
    std::string name;
    std::string location;
    std::uint64_t size = 0;
    std::int64_t created = 0; // seconds: the catalog's date text is its day in UTC
    std::int64_t modifiedNs = 0;
    bool exact = false; // its catalog gives exact facts
};

struct Date {
    int year;
    unsigned month;
    unsigned day;
    auto operator<=>(const Date&) const = default;
};

Date dateOf(std::int64_t seconds, bool local)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts {};
    if (local)
        localtime_r(&time, &parts);
    else
        gmtime_r(&time, &parts);
    return { parts.tm_year + 1900, static_cast<unsigned>(parts.tm_mon + 1), static_cast<unsigned>(parts.tm_mday) };
}

// A term as text and as what it means of a row.
struct Term {
    std::string text;
    std::function<bool(const Row&)> holds;
};

class Generator {
public:
    Generator(std::mt19937& random, const std::vector<Row>& rows)
        : m_random(random)
        , m_rows(rows)
    {
    }

    Term query(int depth)
    {
        const int choice = pick(depth > 2 ? 6 : 10);
        if (choice < 6)
            return leaf();
        // Compound parts go in parentheses: the text must say what the term means.
        const auto part = [&] {
            Term term = query(depth + 1);
            if (term.text.find(' ') != std::string::npos)
                term.text = "(" + term.text + ")";
            return term;
        };
        const Term left = part();
        const Term right = part();
        switch (choice) {
        case 6:
        case 9:
            return { left.text + " " + right.text, [=](const Row& r) { return left.holds(r) && right.holds(r); } };
        case 7:
            return { left.text + (pick(2) ? " | " : " OR ") + right.text,
                [=](const Row& r) { return left.holds(r) || right.holds(r); } };
        default:
            return { (pick(2) ? "!" : "NOT ") + left.text, [=](const Row& r) { return !left.holds(r); } };
        }
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    const Row& someRow() { return m_rows[static_cast<std::size_t>(pick(static_cast<int>(m_rows.size())))]; }
    // A part of text, whole characters, one to three of them.
    std::string partOf(const std::string& text)
    {
        const icu::UnicodeString wide = icu::UnicodeString::fromUTF8(text);
        const int from = pick(wide.length());
        std::string part;
        wide.tempSubString(from, 1 + pick(3)).toUTF8String(part);
        return part;
    }
    static std::string quoted(const std::string& text)
    {
        std::string out = "\"";
        for (const char c : text)
            out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    }

    Term leaf()
    {
        switch (pick(10)) {
        case 0:
        case 1: {
            const bool sensitive = pick(3) == 0;
            const std::string word = partOf(someRow().name);
            return { (sensitive ? "case:" : "") + quoted(word), [=](const Row& r) {
                        return sensitive ? contains(r.name, word) : contains(upper(r.name), upper(word));
                    } };
        }
        case 2: {
            static const std::vector<std::string> types = { "jpg", "TXT", ".png", "gz", "html", "ß", "文档" };
            const std::string& a = types[static_cast<std::size_t>(pick(7))];
            const std::string& b = types[static_cast<std::size_t>(pick(7))];
            return { "ext:" + a + ";" + b, [=](const Row& r) {
                        const auto dot = r.name.rfind('.');
                        const std::string type
                            = dot == std::string::npos || dot == 0 ? "" : upper(r.name.substr(dot + 1));
                        const auto bare = [](const std::string& t) { return upper(t[0] == '.' ? t.substr(1) : t); };
                        return type == bare(a) || type == bare(b);
                    } };
        }
        case 3:
            return sizeTerm();
        case 4:
            return dateTerm();
        case 5: {
            const bool sensitive = pick(3) == 0;
            const std::string part = partOf(someRow().location);
            return { (sensitive ? "case:path:" : "path:") + quoted(part), [=](const Row& r) {
                        return sensitive ? contains(r.location, part) : contains(upper(r.location), upper(part));
                    } };
        }
        case 6: {
            static const std::vector<std::string> patterns = { "^a", "[0-9]", "txt$", "(jpg|png)$", "^[^.]*$", "b.*c" };
            const std::string& pattern = patterns[static_cast<std::size_t>(pick(6))];
            const bool sensitive = pick(2) == 0;
            const std::regex expression(
                pattern, sensitive ? std::regex::ECMAScript : std::regex::ECMAScript | std::regex::icase);
            return { (sensitive ? "case:regex:" : "regex:") + quoted(pattern),
                [=](const Row& r) { return std::regex_search(r.name, expression); } };
        }
        case 7: {
            static const std::vector<std::string> patterns = { "*", "alpha", "?eta*", "光盘*", "*a", "a?", "*2" };
            const std::string& pattern = patterns[static_cast<std::size_t>(pick(7))];
            return { "in:" + quoted(pattern), [=](const Row& r) {
                        return globFits(icu::UnicodeString::fromUTF8(upper(pattern)), 0,
                            icu::UnicodeString::fromUTF8(upper(r.catalog)), 0);
                    } };
        }
        case 8:
            return { "folder:", [](const Row& r) { return r.folder; } };
        default: {
            const std::string word = partOf(someRow().name);
            return { "folder:" + quoted(word),
                [=](const Row& r) { return r.folder && contains(upper(r.name), upper(word)); } };
        }
        }
    }

    Term sizeTerm()
    {
        static const std::vector<std::pair<std::string, std::uint64_t>> units
            = { { "", 1 }, { "b", 1 }, { "kb", 1024 }, { "K", 1024 }, { "mb", 1024 * 1024 } };
        const auto& [unit, scale] = units[static_cast<std::size_t>(pick(5))];
        const std::uint64_t number = scale == 1 ? someRow().size + static_cast<std::uint64_t>(pick(3)) : pick(14);
        const std::uint64_t bytes = number * scale;
        static const std::vector<std::string> operators = { ">", ">=", "<", "<=", "=", "", "..", "lo.." };
        const std::string& op = operators[static_cast<std::size_t>(pick(8))];
        std::uint64_t low = 0;
        std::uint64_t high = UINT64_MAX;
        if (op == ">")
            low = bytes + 1;
        else if (op == ">=" || op == "lo..")
            low = bytes;
        else if (op == "<")
            high = bytes == 0 ? 0 : bytes - 1, low = bytes == 0 ? 1 : 0;
        else if (op == "<=" || op == "..")
            high = bytes;
        else
            low = high = bytes;
        const std::string value = std::to_string(number) + unit;
        const std::string text = op == "lo.." ? value + ".." : op == ".." ? ".." + value : op + value;
        return { "size:" + text, [=](const Row& r) {
                    if (r.folder)
                        return false;
                    if (r.exact)
                        return low <= r.size && r.size <= high;
                    // The text of n KB may be any size in ((n-1) KiB, n KiB]: does some fit?
                    const std::uint64_t kilobytes = (r.size + 1023) / 1024;
                    const std::uint64_t least = kilobytes == 0 ? 0 : (kilobytes - 1) * 1024 + 1;
                    return std::max(least, low) <= std::min(kilobytes * 1024, high);
                } };
    }

    Term dateTerm()
    {
        const Row& row = someRow();
        const Date near = dateOf(row.exact ? row.modifiedNs / kNs : row.created, row.exact);
        const int form = pick(3);
        const Date first { near.year, form > 0 ? near.month : 1, form > 1 ? near.day : 1 };
        Date last { near.year, form > 0 ? near.month : 12, form > 1 ? near.day : 31 };
        if (form == 1) {
            using namespace std::chrono;
            last.day = static_cast<unsigned>(
                year_month_day_last(year(near.year) / month(near.month) / std::chrono::last).day());
        }
        const auto twoDigits = [](unsigned value) { return (value < 10 ? "0" : "") + std::to_string(value); };
        std::string text = std::to_string(near.year);
        if (form > 0)
            text += "-" + twoDigits(near.month);
        if (form > 1)
            text += "-" + twoDigits(near.day);
        const int op = pick(4); // that, >=, <, ..that
        return { std::string("dm:")
                + (op == 1        ? ">="
                        : op == 2 ? "<"
                        : op == 3 ? ".."
                                  : "")
                + text,
            [=](const Row& r) {
                if (r.folder)
                    return false;
                const Date day = dateOf(r.exact ? r.modifiedNs / kNs : r.created, r.exact);
                if (op == 1)
                    return first <= day;
                if (op == 2)
                    return day < first;
                if (op == 3)
                    return day <= last;
                return first <= day && day <= last;
            } };
    }

    std::mt19937& m_random;
    const std::vector<Row>& m_rows;
};

class QueryDifferential : public testing::DataFolderTest {
protected:
    // Writes catalog with a random tree of hostile names; its rows go to m_rows, folders first.
    void makeCatalog(const std::string& catalog, bool exact)
    {
        static const std::vector<std::string> names = { "a.jpg", "A B.JPG", "photo (1).png", "x&y<z>.txt",
            "say \"hi\".gz", "it's.tar.gz", "straße.ß", "Ǆemal.html", "照片.jpg", "文档.文档", "no type", ".hidden",
            "dots...", "a|b!c.txt", "*?.bin", "ab c", "2004 report.TXT", "OR", "NOT.txt", "case:x" };
        CatalogMaker maker(m_data);
        std::vector<Row> files;
        std::vector<Row> folders;
        std::function<void(const std::string&, const std::string&, int)> fill =
            [&](const std::string& relative, const std::string& location, int depth) {
                std::vector<platform::DirEntry> entries;
                const int count = std::uniform_int_distribution<int>(1, 8)(m_random);
                for (int i = 0; i < count; ++i) {
                    std::string name = names[m_random() % names.size()];
                    if (i % 3 != 0)
                        name += std::to_string(i);
                    if (depth < 3 && m_random() % 4 == 0) {
                        const std::string path = relative.empty() ? name : relative + "/" + name;
                        entries.push_back(CatalogMaker::dir(name));
                        folders.push_back({ true, catalog, name, location + name });
                        fill(path, location + name + "/", depth + 1);
                        continue;
                    }
                    static const std::vector<std::uint64_t> sizes = { 0, 1, 1023, 1024, 1025, 4096, 12288, 734003201 };
                    const std::uint64_t size = m_random() % 2 ? sizes[m_random() % sizes.size()] : m_random() % 20000;
                    const std::int64_t created = kStart2003 + static_cast<std::int64_t>(m_random() % (4 * 365 * kDay));
                    const std::int64_t modified
                        = (kStart2003 + static_cast<std::int64_t>(m_random() % (4 * 365 * kDay))) * kNs
                        + static_cast<std::int64_t>(m_random() % kNs);
                    entries.push_back(CatalogMaker::file(name, size, created));
                    files.push_back({ false, catalog, name, location + name, size, created, modified, exact });
                    if (exact)
                        m_facts[catalog].push_back({ size, modified, 0 });
                }
                maker.directory(relative, std::move(entries));
            };
        fill("", "/media/cdrom/", 0);
        ASSERT_TRUE(maker.write(catalog));
        m_rows.insert(m_rows.end(), folders.begin(), folders.end());
        m_rows.insert(m_rows.end(), files.begin(), files.end());
    }

    std::vector<std::string> expected(const Term& query, bool namesFolder) const
    {
        std::vector<std::string> texts;
        for (const Row& row : m_rows) {
            if ((row.folder && !namesFolder) || !query.holds(row))
                continue;
            std::string text = row.catalog + "|" + row.location + (row.folder ? "/" : "");
            if (row.exact && !row.folder)
                text += " " + std::to_string(row.size) + "@" + std::to_string(row.modifiedNs);
            texts.push_back(std::move(text));
        }
        return texts;
    }

    testing::LocalZone m_zone { "America/St_Johns" }; // half an hour off, and summer time
    std::mt19937 m_random { 20261207 };
    std::vector<Row> m_rows;
    testing::FactsByCatalog m_facts;
};

TEST_F(QueryDifferential, RandomQueriesAgreeWithTheirMeaning)
{
    makeCatalog("Alpha", true);
    makeCatalog("beta 2", false);
    makeCatalog("光盘 2", true);
    const std::vector<std::string> catalogs = { "Alpha", "beta 2", "光盘 2" };
    Generator generator(m_random, m_rows);
    std::size_t found = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const Term query = generator.query(0);
        const auto rows = testing::foundBy(m_indexes, m_box, query.text, catalogs, m_facts);
        ASSERT_EQ(rows, expected(query, contains(query.text, "folder:"))) << query.text;
        found += rows.size();
    }
    EXPECT_GT(found, 600u); // the queries found something, not only nothing
    EXPECT_TRUE(m_box.shown.empty());
}

} // namespace
} // namespace mellowby::search
