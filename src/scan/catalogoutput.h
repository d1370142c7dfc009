#pragma once

#include "catalogdb/streamhash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace mellowby::platform {
class IReplacement;
}

namespace mellowby::scan {

// The two files of a catalog being written: every line goes to the catalog proper, every line but
// the File lines to the index twin. Lines are gathered in memory and written in large blocks; the
// first write failure sticks, so the walk can stop at once instead of writing on into a full disk.
class CatalogOutput {
public:
    // The files must outlive the output.
    CatalogOutput(platform::IReplacement& xml, platform::IReplacement& twin);
    ~CatalogOutput();
    CatalogOutput(const CatalogOutput&) = delete;
    CatalogOutput& operator=(const CatalogOutput&) = delete;

    // The line buffers; append the text of a line, then call endLineToBoth/endLineToXml.
    std::string& line() { return m_line; }
    void endLineToBoth();
    void endLineToXml();

    // Writes what is buffered: the catalog proper is then whole, its size and hash known.
    void flush();
    // Writes what is buffered and flushes both files to stable storage.
    void finish();

    const std::optional<platform::Error>& error() const { return m_error; }

    // Of the bytes of the catalog proper written so far, as its database records them.
    std::uint64_t catalogSize() const { return m_xmlSize; }
    catalogdb::Hash128 catalogHash() const { return m_xmlHash.digest(); }

private:
    struct Target {
        platform::IReplacement* file;
        std::string buffer;
    };
    void flushIfFull(Target& target);
    void flush(Target& target);

    Target m_xml;
    Target m_twin;
    std::uint64_t m_xmlSize = 0;
    catalogdb::StreamHash m_xmlHash; // computed as the catalog is written, so it is never read again
    std::string m_line;
    std::optional<platform::Error> m_error;
};

// The pieces of a catalog line around the values the writer encodes: `<element attribute="`,
// `" attribute="` and `</element>`.
void appendOpening(std::string& line, std::string_view element, std::string_view firstAttribute);
void appendNextAttribute(std::string& line, std::string_view attribute);
void appendEndTag(std::string& line, std::string_view element);

} // namespace mellowby::scan
