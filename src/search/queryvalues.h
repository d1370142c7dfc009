#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/queryexpression.h"

namespace mellowby::catalog {
class UpperCaser;
}

namespace mellowby::search {

// The values the functions of a query take. A value that cannot be read gives what was expected
// instead, in words the user reads.

// size: empty, a size with one of > >= < <= = before it or none (exactly that size), or a range
// a..b with either end left out. A size is a number, maybe with a fraction, and a unit of b, kb,
// mb, gb or tb (or k, m, g, t) in powers of 1024; without a unit it counts bytes.
std::expected<SizeRange, std::string> parseSizeValue(std::string_view value);

// dm: a year (2004), a month (2004-03) or a day (2004-03-15), with one of > >= < <= = before it
// or none (that whole year, month or day), or a range a..b from the start of a to the end of b,
// with either end left out. "/" and "." may stand for "-".
std::expected<DayRange, std::string> parseDayValue(std::string_view value);

// The days of the civil calendar counted from 1970-01-01, and back.
std::int64_t dayOfDate(int year, unsigned month, unsigned day);
struct CivilDate {
    int year;
    unsigned month;
    unsigned day;
};
CivilDate dateOfDay(std::int64_t day);

// ext: types separated by ";" or ",", each upper-cased as names are, a leading dot dropped.
std::expected<std::vector<std::string>, std::string> parseExtensions(
    std::string_view value, catalog::UpperCaser& upper);

// in: catalog names separated by ";", upper-cased, where * stands for any characters and ? for one.
std::expected<std::vector<std::string>, std::string> parseCatalogPatterns(
    std::string_view value, catalog::UpperCaser& upper);
// Whether text fits pattern, both upper-cased UTF-8.
bool fitsPattern(std::string_view pattern, std::string_view text);

// What is wrong with a regular expression (where, in characters from its start, and what), or
// nothing when ICU takes it.
struct RegexFault {
    std::size_t offset = 0; // in characters from the pattern's first, within the pattern
    std::string what;
};
std::optional<RegexFault> regexFault(std::string_view pattern, bool caseSensitive);

} // namespace mellowby::search
