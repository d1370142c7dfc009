#include "search/querylexer.h"

#include <algorithm>
#include <array>
#include <optional>

namespace mellowby::search {

namespace {

constexpr std::array<std::string_view, 8> kFunctions { "ext", "size", "dm", "path", "regex", "in", "folder",
    "inarchive" };
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Columns of byte offsets that only grow: a character is a byte that does not continue UTF-8.
class Columns {
public:
    explicit Columns(std::string_view text)
        : m_text(text)
    {
    }

    std::size_t at(std::size_t offset)
    {
        for (; m_offset < offset && m_offset < m_text.size(); ++m_offset) {
            if ((static_cast<unsigned char>(m_text[m_offset]) & 0xC0) != 0x80)
                ++m_column;
        }
        return m_column;
    }

private:
    std::string_view m_text;
    std::size_t m_offset = 0;
    std::size_t m_column = 1;
};

class Lexer {
public:
    explicit Lexer(std::string_view query)
        : m_query(query)
        , m_columns(query)
    {
    }

    std::expected<std::vector<QueryToken>, QueryError> run()
    {
        for (;;) {
            skipBlanks();
            const std::size_t column = m_columns.at(m_at);
            if (m_at == m_query.size()) {
                m_tokens.push_back({ QueryToken::Kind::End, column, {}, {}, 0 });
                return std::move(m_tokens);
            }
            const char c = m_query[m_at];
            const auto single = c == '(' ? QueryToken::Kind::Open
                : c == ')'               ? QueryToken::Kind::Close
                : c == '|'               ? QueryToken::Kind::Or
                : c == '!'               ? QueryToken::Kind::Not
                                         : QueryToken::Kind::End;
            if (single != QueryToken::Kind::End) {
                m_tokens.push_back({ single, column, std::string(1, c), {}, 0 });
                ++m_at;
                continue;
            }
            if (auto failed = term(column))
                return std::unexpected(std::move(*failed));
        }
    }

private:
    bool blankAt(std::size_t at) const
    {
        const char c = m_query[at];
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'
            || m_query.substr(at).starts_with(kIdeographicSpace);
    }

    void skipBlanks()
    {
        while (m_at < m_query.size() && blankAt(m_at))
            m_at += m_query[m_at] == kIdeographicSpace[0] ? kIdeographicSpace.size() : 1;
    }

    // A term beginning at m_at: a function, case:, an operator word or a word.
    std::optional<QueryError> term(std::size_t column)
    {
        std::size_t letters = m_at;
        while (letters < m_query.size() && isAsciiLetter(m_query[letters]))
            ++letters;
        if (letters > m_at && letters < m_query.size() && m_query[letters] == ':') {
            std::string name(m_query.substr(m_at, letters - m_at));
            std::ranges::transform(name, name.begin(), lowerAscii);
            if (name == "case") {
                m_tokens.push_back({ QueryToken::Kind::Case, column, "case:", {}, 0 });
                m_at = letters + 1;
                return std::nullopt;
            }
            if (!isQueryFunction(name)) {
                return QueryError {
                    column,
                    "未知的条件“" + std::string(m_query.substr(m_at, letters + 1 - m_at))
                        + "”；可用 "
                          "ext:、size:、dm:、path:、regex:、case:、in:、folder:、inarchive:，要查找含冒号的文字请加引号"
                };
            }
            m_at = letters + 1;
            const std::size_t valueColumn = m_columns.at(m_at);
            auto value = text(name == "regex");
            if (!value)
                return std::move(value.error());
            m_tokens.push_back(
                { QueryToken::Kind::Function, column, std::move(value->text), std::move(name), valueColumn });
            return std::nullopt;
        }
        auto word = text(false);
        if (!word)
            return std::move(word.error());
        auto kind = QueryToken::Kind::Word;
        if (!word->quoted && word->text == "OR")
            kind = QueryToken::Kind::Or;
        else if (!word->quoted && word->text == "NOT")
            kind = QueryToken::Kind::Not;
        m_tokens.push_back({ kind, column, std::move(word->text), {}, 0 });
        return std::nullopt;
    }

    struct Text {
        std::string text;
        bool quoted = false;
    };

    // The text of a term from m_at to where it ends, quotes taken off. In a regular expression a |
    // belongs to the text, and so do a backslash's next character and parentheses inside [ ].
    std::expected<Text, QueryError> text(bool regex)
    {
        Text read;
        std::size_t depth = 0;
        bool inClass = false;
        while (m_at < m_query.size()) {
            const char c = m_query[m_at];
            if (c == '"') {
                if (auto failed = quoted(read))
                    return std::unexpected(std::move(*failed));
                continue;
            }
            if (blankAt(m_at) || (c == '|' && !regex) || (c == ')' && depth == 0 && !inClass))
                break;
            if (regex && c == '\\' && m_at + 1 < m_query.size()) {
                read.text.append(m_query.substr(m_at, 2));
                m_at += 2;
                continue;
            }
            if (regex && (c == '[' || c == ']'))
                inClass = c == '[';
            else if (c == '(' && !inClass)
                ++depth;
            else if (c == ')' && !inClass)
                --depth;
            read.text += c;
            ++m_at;
        }
        return read;
    }

    // A quoted part at m_at, added to read.
    std::optional<QueryError> quoted(Text& read)
    {
        const std::size_t opening = m_at;
        read.quoted = true;
        for (++m_at; m_at < m_query.size(); ++m_at) {
            if (m_query[m_at] != '"') {
                read.text += m_query[m_at];
                continue;
            }
            if (m_at + 1 < m_query.size() && m_query[m_at + 1] == '"') {
                read.text += '"';
                ++m_at;
                continue;
            }
            ++m_at;
            return std::nullopt;
        }
        return QueryError { m_columns.at(opening), "这个引号“\"”没有配对的另一个引号" };
    }

    std::string_view m_query;
    Columns m_columns;
    std::size_t m_at = 0;
    std::vector<QueryToken> m_tokens;
};

} // namespace

bool isQueryFunction(std::string_view name)
{
    return std::ranges::find(kFunctions, name) != kFunctions.end();
}

std::expected<std::vector<QueryToken>, QueryError> lexQuery(std::string_view query)
{
    return Lexer(query).run();
}

} // namespace mellowby::search
