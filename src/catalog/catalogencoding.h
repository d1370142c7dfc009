#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "app/codepage936.h"
#include "platform/error.h"

namespace mellowby::catalog {

// How the bytes of a catalog file become the UTF-8 text every reader works on: a catalog that
// declares an encoding of the GB family is in code page 936 (or GB18030), and is decoded; one
// that declares UTF-8 or nothing is taken as it is.
class CatalogTextDecoder {
public:
    // The decoder for the catalog whose text begins with head (its declaration); an error for an
    // encoding that cannot be honoured.
    static std::expected<CatalogTextDecoder, platform::Error> forCatalog(std::string_view head);

    // Whether the bytes are the text already.
    bool passesThrough() const { return !m_decoder.has_value(); }

    // The UTF-8 text of bytes. Pieces of a catalog decode to the text of the whole as long as
    // each ends just after a line feed: no character of these encodings holds that byte.
    std::string decode(std::string_view bytes);

private:
    std::optional<app::Cp936Decoder> m_decoder;
};

} // namespace mellowby::catalog
