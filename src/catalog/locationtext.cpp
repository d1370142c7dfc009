#include "catalog/locationtext.h"

namespace mellowby::catalog {

char locationSeparatorFor(std::string_view diskLabel)
{
    return diskLabel.find('\\') != std::string_view::npos && diskLabel.find('/') == std::string_view::npos ? '\\' : '/';
}

void collapseSeparators(std::string& text, char separator, std::size_t from)
{
    std::size_t out = from;
    for (std::size_t in = from; in < text.size(); ++in) {
        if (text[in] == separator && out > 0 && text[out - 1] == separator)
            continue;
        text[out++] = text[in];
    }
    text.resize(out);
}

void appendLocationLevel(std::string& prefix, std::string_view ownPart, char separator)
{
    const std::size_t from = prefix.size();
    prefix += ownPart;
    prefix += separator;
    collapseSeparators(prefix, separator, from);
}

} // namespace mellowby::catalog
