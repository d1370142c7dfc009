#include "search/queryparser.h"

#include <string>
#include <utility>
#include <vector>

#include "catalog/uppercaser.h"
#include "search/querylexer.h"
#include "search/queryvalues.h"

namespace mellowby::search {

namespace {

using Kind = QueryToken::Kind;
using Parsed = std::expected<QueryNode, QueryError>;

QueryNode leaf(QueryNode::Kind kind, std::size_t column)
{
    QueryNode node;
    node.kind = kind;
    node.column = column;
    return node;
}

QueryNode joined(QueryNode::Kind kind, std::vector<QueryNode> children)
{
    if (children.size() == 1)
        return std::move(children.front());
    QueryNode node = leaf(kind, children.front().column);
    node.children = std::move(children);
    return node;
}

class Parser {
public:
    explicit Parser(std::vector<QueryToken> tokens)
        : m_tokens(std::move(tokens))
    {
    }

    Parsed run()
    {
        if (peek().kind == Kind::End)
            return fault(peek(), "查询是空的，应为至少一个条件：文件名的一部分，或 ext:、size:、dm: 等");
        Parsed all = parseAll(false, 0);
        if (all && peek().kind == Kind::Close)
            return fault(peek(), "多出的“)”，前面没有与之配对的“(”");
        return all;
    }

private:
    const QueryToken& peek() const { return m_tokens[m_next]; }
    const QueryToken& take() { return m_tokens[m_next++]; }

    static std::unexpected<QueryError> fault(const QueryToken& at, std::string expected)
    {
        return std::unexpected(QueryError { at.column, std::move(expected) });
    }

    // What a term was expected in place of the token at.
    static std::unexpected<QueryError> termExpected(const QueryToken& at, const QueryToken* after)
    {
        const std::string where = after != nullptr ? "“" + after->text + "”之后" : std::string {};
        switch (at.kind) {
        case Kind::End:
            return fault(at, "查询在此结束，" + where + "应为条件");
        case Kind::Close:
            return fault(at, where + "应为条件，却是“)”");
        case Kind::Or:
            if (after != nullptr)
                return fault(at, where + "应为条件，却是“" + at.text + "”");
            return fault(at, "“" + at.text + "”之前应为条件");
        default:
            return fault(at, where + "应为条件");
        }
    }

    // Terms side by side, up to the end or a ")".
    // NOLINTNEXTLINE(misc-no-recursion): groups, ! and case: nest at most kMaxQueryDepth deep
    Parsed parseAll(bool caseSensitive, std::size_t depth)
    {
        std::vector<QueryNode> children;
        while (peek().kind != Kind::End && peek().kind != Kind::Close) {
            Parsed any = parseAny(caseSensitive, depth);
            if (!any)
                return any;
            children.push_back(std::move(*any));
        }
        if (children.empty())
            return termExpected(peek(), nullptr);
        return joined(QueryNode::Kind::All, std::move(children));
    }

    // NOLINTNEXTLINE(misc-no-recursion): groups, ! and case: nest at most kMaxQueryDepth deep
    Parsed parseAny(bool caseSensitive, std::size_t depth)
    {
        std::vector<QueryNode> children;
        for (;;) {
            Parsed unary = parseUnary(caseSensitive, depth);
            if (!unary)
                return unary;
            children.push_back(std::move(*unary));
            if (peek().kind != Kind::Or)
                return joined(QueryNode::Kind::Any, std::move(children));
            const QueryToken& operation = take();
            if (!startsTerm(peek().kind))
                return termExpected(peek(), &operation);
        }
    }

    static bool startsTerm(Kind kind) { return kind != Kind::End && kind != Kind::Close && kind != Kind::Or; }

    // NOLINTNEXTLINE(misc-no-recursion): groups, ! and case: nest at most kMaxQueryDepth deep
    Parsed parseUnary(bool caseSensitive, std::size_t depth)
    {
        const QueryToken& token = peek();
        if (depth >= kMaxQueryDepth)
            return fault(token, "括号、“!”或 case: 套得太深，最多 " + std::to_string(kMaxQueryDepth) + " 层");
        switch (token.kind) {
        case Kind::Not:
        case Kind::Case: {
            take();
            if (!startsTerm(peek().kind))
                return termExpected(peek(), &token);
            Parsed operand = parseUnary(caseSensitive || token.kind == Kind::Case, depth + 1);
            if (!operand || token.kind == Kind::Case)
                return operand;
            QueryNode negation = leaf(QueryNode::Kind::Not, token.column);
            negation.children.push_back(std::move(*operand));
            return negation;
        }
        case Kind::Open: {
            take();
            Parsed inner = parseAll(caseSensitive, depth + 1);
            if (!inner)
                return inner;
            if (peek().kind != Kind::Close)
                return fault(peek(), "缺少与第 " + std::to_string(token.column) + " 列的“(”配对的“)”");
            take();
            return inner;
        }
        case Kind::Word:
            take();
            if (token.text.empty())
                return fault(token, "引号之间是空的，应为要查找的文字");
            return textLeaf(QueryNode::Kind::NameHolds, token.text, caseSensitive, token.column);
        case Kind::Function:
            take();
            return function(token, caseSensitive);
        default:
            return termExpected(token, nullptr);
        }
    }

    QueryNode textLeaf(QueryNode::Kind kind, const std::string& text, bool caseSensitive, std::size_t column)
    {
        QueryNode node = leaf(kind, column);
        node.caseSensitive = caseSensitive;
        node.text = caseSensitive ? text : std::string(m_upper.upper(text));
        return node;
    }

    Parsed function(const QueryToken& token, bool caseSensitive)
    {
        const std::string& name = token.function;
        const std::string& value = token.text;
        const auto valueFault = [&](std::string expected) {
            return std::unexpected(QueryError { token.valueColumn, std::move(expected) });
        };
        if (name == "folder" || name == "inarchive") {
            const QueryNode::Kind kind = name == "folder" ? QueryNode::Kind::IsFolder : QueryNode::Kind::InArchive;
            if (value.empty())
                return leaf(kind, token.column);
            std::vector<QueryNode> both;
            both.push_back(leaf(kind, token.column));
            both.push_back(textLeaf(QueryNode::Kind::NameHolds, value, caseSensitive, token.valueColumn));
            return joined(QueryNode::Kind::All, std::move(both));
        }
        if (name == "path" || name == "regex") {
            if (value.empty())
                return valueFault(name == "path" ? "path: 之后应为位置的一部分" : "regex: 之后应为正则表达式");
            if (name == "path")
                return textLeaf(QueryNode::Kind::PathHolds, value, caseSensitive, token.column);
            if (const auto wrong = regexFault(value, caseSensitive)) {
                return std::unexpected(
                    QueryError { token.valueColumn + wrong->offset, "正则表达式有误：" + wrong->what });
            }
            QueryNode node = leaf(QueryNode::Kind::NameMatches, token.column);
            node.text = value;
            node.caseSensitive = caseSensitive;
            return node;
        }
        if (name == "size") {
            const auto sizes = parseSizeValue(value);
            if (!sizes)
                return valueFault(sizes.error());
            QueryNode node = leaf(QueryNode::Kind::SizeIn, token.column);
            node.sizes = *sizes;
            return node;
        }
        if (name == "dm") {
            const auto days = parseDayValue(value);
            if (!days)
                return valueFault(days.error());
            QueryNode node = leaf(QueryNode::Kind::ModifiedIn, token.column);
            node.days = *days;
            return node;
        }
        const bool extension = name == "ext";
        auto texts = extension ? parseExtensions(value, m_upper) : parseCatalogPatterns(value, m_upper);
        if (!texts)
            return valueFault(texts.error());
        QueryNode node = leaf(extension ? QueryNode::Kind::ExtensionIs : QueryNode::Kind::CatalogIs, token.column);
        node.texts = std::move(*texts);
        return node;
    }

    std::vector<QueryToken> m_tokens;
    std::size_t m_next = 0;
    catalog::UpperCaser m_upper;
};

} // namespace

std::expected<QueryNode, QueryError> parseQuery(std::string_view query)
{
    auto tokens = lexQuery(query);
    if (!tokens)
        return std::unexpected(std::move(tokens.error()));
    return Parser(std::move(*tokens)).run();
}

} // namespace mellowby::search
