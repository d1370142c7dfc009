#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "catalog/uppercaser.h"
#include "catalog/xmltextencoder.h"

namespace mellowby::platform {
struct DirEntry;
}

namespace mellowby::app {
struct Settings;
}

namespace mellowby::catalog {
class DateFormatter;
}

namespace mellowby::scan {

class CatalogOutput;
class ScanDatabase;
class ScanIndexer;

// Writes the lines of a catalog as its tree is walked, encoded as the catalog's code page wants,
// and feeds the same entries, as a reader of the catalog will read them, to the names index when
// one is collected, and with their exact facts to the database when one is written.
class CatalogWriter {
public:
    // index: where the names index is collected; none when no index is kept. database: where the
    // database is written; none when the catalog gets none.
    CatalogWriter(CatalogOutput& output, const app::Settings& settings, const catalog::DateFormatter& dates,
        ScanIndexer* index, ScanDatabase* database = nullptr);

    // The declaration and the Disk element of the catalog titled title of the tree at label.
    void beginDisk(std::string_view title, std::string_view label);
    void openDirectory(const platform::DirEntry& entry);
    void closeDirectory();
    // False when the settings' filter leaves the file out.
    bool addFile(const platform::DirEntry& entry);
    // The database row (entries.id) of the file added last; -1 before any, or without a database.
    std::int64_t lastFileRow() const { return m_lastFileRow; }
    void endDisk();

    // The first write that failed sticks, the database's too; the walk stops at once.
    bool failed() const;

private:
    struct DateTexts {
        std::string written;
        std::string read;
    };

    std::string_view asRead(std::string_view text);
    void appendDate(std::string& line, const platform::DirEntry& entry);

    CatalogOutput& m_output;
    const app::Settings& m_settings;
    const catalog::DateFormatter& m_dates;
    ScanIndexer* m_index;
    ScanDatabase* m_database;
    std::int64_t m_lastFileRow = -1;
    catalog::XmlTextEncoder m_encoder;
    catalog::UpperCaser m_upper; // kept across files, so that the filter allocates nothing per file
    std::string m_asRead;
    std::string_view m_dateRead; // of the entry being written; a view into m_dateTexts
    std::unordered_map<std::int64_t, DateTexts> m_dateTexts;
};

} // namespace mellowby::scan
