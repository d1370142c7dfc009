#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <pugixml.hpp>
#include <string>

#include "platform/error.h"

namespace mellowby::catalog {

// One catalog file in memory (CatalogStore reads it), for a single use by one reader; nothing is cached between
// uses. Every node, attribute and node set taken from it lives only as long as the document.
//
// Loading never throws for a bad file: a missing, unreadable or malformed catalog simply leaves the
// document without a document element, which is how every reader recognises it.
class CatalogDocument {
public:
    CatalogDocument();
    CatalogDocument(CatalogDocument&&) noexcept;
    CatalogDocument& operator=(CatalogDocument&&) noexcept;
    CatalogDocument(const CatalogDocument&) = delete;
    CatalogDocument& operator=(const CatalogDocument&) = delete;
    ~CatalogDocument();

    // Replaces whatever was loaded before with the catalog file of these bytes; returns loaded().
    bool loadBytes(std::string bytes);
    // Replaces whatever was loaded before with nothing, because the file could not be read for
    // the reason given; returns false.
    bool failToRead(platform::Error why);

    bool loaded() const;
    // The root element (Disk in every catalog the program writes), or an empty node.
    pugi::xml_node documentElement() const;
    // The document itself: the parent of the root element.
    pugi::xml_node documentNode() const;

    // Why the last load failed, as the error box shows it: errno and its text when the file could
    // not be read, number 0 and the parser's description with its position otherwise. Empty after
    // a successful load.
    const platform::Error& loadError() const;
    // The parser's own verdict with the byte offset (in the UTF-8 text) where it stopped. A file that
    // cannot be read, or whose declared encoding is not supported, gives status_file_not_found or
    // status_io_error.
    const pugi::xml_parse_result& parseResult() const;

private:
    struct State;
    // Behind a pointer so that moving the document never moves the text its nodes point into.
    std::unique_ptr<State> m_state;
};

// Every File element at any depth, in document order.
pugi::xpath_node_set selectAllFiles(const CatalogDocument& document);

// The attribute at a 0-based position in document order, or an empty attribute. Readers go by
// position because the order of attributes is fixed by the catalog format.
pugi::xml_attribute attributeAt(pugi::xml_node node, std::size_t index);

} // namespace mellowby::catalog
