#include "search/queryplan.h"

#include <algorithm>
#include <functional>

#include "catalog/uppercaser.h"
#include "search/queryvalues.h"

namespace mellowby::search {

namespace {

using Kind = QueryNode::Kind;

QueryNode constant(bool value)
{
    QueryNode node;
    node.kind = value ? Kind::Always : Kind::Never;
    return node;
}

bool mentionsFolders(const QueryNode& node)
{
    return node.kind == Kind::IsFolder || std::ranges::any_of(node.children, mentionsFolders);
}

// Roughly what testing a node costs a row: reading the facts costs more than looking at the name,
// and a regular expression most.
// NOLINTNEXTLINE(misc-no-recursion): as deep as the query's tree, which the parser bounds
int costOf(const QueryNode& node)
{
    switch (node.kind) {
    case Kind::All:
    case Kind::Any:
    case Kind::Not: {
        int sum = 0;
        for (const QueryNode& child : node.children)
            sum += costOf(child);
        return sum;
    }
    case Kind::Always:
    case Kind::Never:
    case Kind::IsFolder:
    case Kind::InArchive:
        return 0;
    case Kind::CatalogIs:
    case Kind::NameHolds:
    case Kind::ExtensionIs:
        return 2;
    case Kind::SizeIn:
    case Kind::ModifiedIn:
        return 3;
    case Kind::PathHolds:
        return 4;
    case Kind::NameMatches:
        return 8;
    }
    return 0;
}

// The node with its children in the order of their cost; the result is the same in any order.
// NOLINTNEXTLINE(misc-no-recursion): as deep as the query's tree, which the parser bounds
void cheapestFirst(QueryNode& node)
{
    for (QueryNode& child : node.children)
        cheapestFirst(child);
    if (node.kind == Kind::All || node.kind == Kind::Any)
        std::ranges::stable_sort(node.children, {}, costOf);
}

// The text every name that fits node must hold, upper-cased: a word, or a single type with its
// dot. The longest of the terms all must fit, as it passes over the fewest names.
std::string needleOf(const QueryNode& node)
{
    const auto own = [](const QueryNode& term) -> std::string {
        if (term.kind == Kind::NameHolds && !term.caseSensitive)
            return term.text;
        if (term.kind == Kind::ExtensionIs && term.texts.size() == 1)
            return "." + term.texts.front();
        return {};
    };
    if (node.kind != Kind::All)
        return own(node);
    std::string longest;
    for (const QueryNode& child : node.children) {
        std::string text = own(child);
        if (text.size() > longest.size())
            longest = std::move(text);
    }
    return longest;
}

// node without the word the pass over the names tests (once).
QueryNode withoutWord(QueryNode node, const std::string& word, const KnownOfRow& known)
{
    const auto isWord = [&](const QueryNode& term) {
        return term.kind == Kind::NameHolds && !term.caseSensitive && term.text == word;
    };
    if (isWord(node))
        return constant(true);
    if (node.kind == Kind::All) {
        const auto found = std::ranges::find_if(node.children, isWord);
        if (found != node.children.end())
            *found = constant(true);
    }
    return resolved(node, known);
}

} // namespace

bool isNever(const QueryNode& node)
{
    return node.kind == Kind::Never;
}

// NOLINTNEXTLINE(misc-no-recursion): as deep as the query's tree, which the parser bounds
QueryNode resolved(const QueryNode& node, const KnownOfRow& known)
{
    switch (node.kind) {
    case Kind::CatalogIs:
        return constant(std::ranges::any_of(
            node.texts, [&](const std::string& pattern) { return fitsPattern(pattern, known.upperCatalog); }));
    case Kind::IsFolder:
        return constant(known.folder);
    case Kind::Not: {
        QueryNode operand = resolved(node.children.front(), known);
        if (operand.kind == Kind::Always || operand.kind == Kind::Never)
            return constant(operand.kind == Kind::Never);
        if (operand.kind == Kind::Not)
            return std::move(operand.children.front());
        QueryNode negation = node;
        negation.children = { std::move(operand) };
        return negation;
    }
    case Kind::All:
    case Kind::Any: {
        // All ends at the first Never, Any at the first Always; the other constant drops out.
        const Kind decides = node.kind == Kind::All ? Kind::Never : Kind::Always;
        const Kind dropsOut = node.kind == Kind::All ? Kind::Always : Kind::Never;
        QueryNode joined = node;
        joined.children.clear();
        for (const QueryNode& child : node.children) {
            QueryNode simpler = resolved(child, known);
            if (simpler.kind == decides)
                return simpler;
            if (simpler.kind != dropsOut)
                joined.children.push_back(std::move(simpler));
        }
        if (joined.children.empty())
            return constant(node.kind == Kind::All);
        if (joined.children.size() == 1)
            return std::move(joined.children.front());
        return joined;
    }
    default:
        return node;
    }
}

CatalogQuery planFor(const QueryNode& query, std::string_view catalogName)
{
    catalog::UpperCaser upper;
    const KnownOfRow ofFiles { upper.upper(catalogName), false };
    CatalogQuery plan;
    plan.files = resolved(query, ofFiles);
    plan.needle = needleOf(plan.files);
    if (!plan.needle.empty())
        plan.files = withoutWord(std::move(plan.files), plan.needle, ofFiles);
    plan.folders = mentionsFolders(query) ? resolved(query, { ofFiles.upperCatalog, true }) : constant(false);
    cheapestFirst(plan.files);
    cheapestFirst(plan.folders);
    return plan;
}

} // namespace mellowby::search
