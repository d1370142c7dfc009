#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "search/queryerror.h"

namespace mellowby::search {

// A piece of a query as the parser reads it.
struct QueryToken {
    enum class Kind {
        Word, // a part of the name to look for, quotes taken off
        Function, // name:value, such as ext:jpg;png
        Open, // (
        Close, // )
        Or, // | or OR
        Not, // ! or NOT
        Case, // case: before a term
        End,
    };

    Kind kind = Kind::End;
    std::size_t column = 0; // from 1, in characters
    std::string text; // Word: the text; Function: the value; an operator: as written
    std::string function; // Function: its name in lower case ("ext")
    std::size_t valueColumn = 0; // Function: where its value begins

    bool operator==(const QueryToken&) const = default;
};

// The names of the functions a query knows, in lower case, case excepted (a prefix of a term).
bool isQueryFunction(std::string_view name);

// Cuts a query into tokens, End last.
//
// Blanks (spaces, tabs, line breaks, the ideographic space) separate terms. A term may begin with
// ! (NOT), case: and ( ; a term runs to the next blank, to a | (except in a regular expression),
// or to a ) that closes nothing opened inside the term, so that "photo(1).jpg" is one word and
// "(a b)" a group. Inside double quotes everything is text, and a quote is written twice.
// A term that begins with letters and a colon is a function; an unknown one is an error rather
// than a word, so that a mistyped "sise:>1mb" does not quietly find nothing. OR and NOT are
// operators only when they stand alone, unquoted and in capitals.
std::expected<std::vector<QueryToken>, QueryError> lexQuery(std::string_view query);

} // namespace mellowby::search
