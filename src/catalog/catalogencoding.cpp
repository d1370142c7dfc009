#include "catalog/catalogencoding.h"

namespace mellowby::catalog {

namespace {

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view skipSpace(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isXmlSpace(text[i]))
        ++i;
    return text.substr(i);
}

// The value of the encoding pseudo-attribute in the XML declaration that opens text; empty when
// there is no declaration or it names no encoding. Blanks around "=" are allowed, as the writer
// puts one before it.
std::string_view declaredEncoding(std::string_view text)
{
    constexpr std::string_view kOpening = "<?xml";
    if (!text.starts_with(kOpening) || text.size() == kOpening.size() || !isXmlSpace(text[kOpening.size()]))
        return {};
    const std::size_t end = text.find("?>");
    if (end == std::string_view::npos)
        return {};
    std::string_view rest = text.substr(kOpening.size(), end - kOpening.size());
    for (;;) {
        rest = skipSpace(rest);
        std::size_t nameEnd = 0;
        while (nameEnd < rest.size() && rest[nameEnd] != '=' && !isXmlSpace(rest[nameEnd]))
            ++nameEnd;
        if (nameEnd == 0)
            return {};
        const std::string_view name = rest.substr(0, nameEnd);
        rest = skipSpace(rest.substr(nameEnd));
        if (!rest.starts_with('='))
            return {};
        rest = skipSpace(rest.substr(1));
        if (rest.empty() || (rest[0] != '"' && rest[0] != '\''))
            return {};
        const std::size_t closing = rest.find(rest[0], 1);
        if (closing == std::string_view::npos)
            return {};
        if (name == "encoding")
            return rest.substr(1, closing - 1);
        rest = rest.substr(closing + 1);
    }
}

bool isUtf8Label(std::string_view label)
{
    return label.size() == 5 && (label[0] == 'U' || label[0] == 'u') && (label[1] == 'T' || label[1] == 't')
        && (label[2] == 'F' || label[2] == 'f') && label.substr(3) == "-8";
}

} // namespace

std::expected<CatalogTextDecoder, platform::Error> CatalogTextDecoder::forCatalog(std::string_view head)
{
    CatalogTextDecoder decoder;
    const std::string_view label = declaredEncoding(head);
    if (label.empty() || isUtf8Label(label))
        return decoder;
    const char* charset = app::Cp936Decoder::charsetFor(label);
    if (charset == nullptr)
        return std::unexpected(platform::Error { 0, "Unsupported encoding " + std::string(label) });
    auto opened = app::Cp936Decoder::open(charset);
    if (!opened)
        return std::unexpected(opened.error());
    decoder.m_decoder.emplace(std::move(*opened));
    return decoder;
}

std::string CatalogTextDecoder::decode(std::string_view bytes)
{
    return m_decoder ? m_decoder->decode(bytes) : std::string(bytes);
}

} // namespace mellowby::catalog
