#include "scan/catalogwriter.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "catalog/catalogformat.h"
#include "catalog/datetext.h"
#include "catalog/textutils.h"
#include "platform/directorylister.h"
#include "scan/catalogoutput.h"
#include "scan/scandatabase.h"
#include "scan/scanindexer.h"
#include "scan/scanner.h"

namespace mellowby::scan {

using catalog::XmlTextEncoder;

namespace {

// A size that could not be read is left empty rather than written as a size of 0.
void appendSize(std::string& line, const platform::DirEntry& entry)
{
    if (entry.detailsError)
        return;
    char digits[24];
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), catalog::getFileSizeKB(entry.size));
    line.append(digits, converted.ptr);
    line += "KB";
}

// What the names index keeps of a file the database records: its size and modification time,
// when both could be read.
std::optional<names::SizeAndTime> factsOf(const platform::DirEntry& entry)
{
    if (entry.detailsError || !entry.modifiedNs)
        return std::nullopt;
    return names::SizeAndTime { entry.size, *entry.modifiedNs };
}

} // namespace

CatalogWriter::CatalogWriter(CatalogOutput& output, const app::Settings& settings, const catalog::DateFormatter& dates,
    ScanIndexer* index, ScanDatabase* database)
    : m_output(output)
    , m_settings(settings)
    , m_dates(dates)
    , m_index(index)
    , m_database(database)
{
}

bool CatalogWriter::failed() const
{
    return m_output.error().has_value() || (m_database != nullptr && m_database->failed());
}

void CatalogWriter::beginDisk(std::string_view title, std::string_view label)
{
    std::string& line = m_output.line();
    line += catalog::kCatalogDeclaration;
    m_output.endLineToBoth();
    appendOpening(line, catalog::kDiskElement, catalog::kTitleAttribute);
    m_encoder.append(line, title);
    appendNextAttribute(line, catalog::kLabelAttribute);
    m_encoder.append(line, label);
    line += "\">";
    m_output.endLineToBoth();
    // The names index is collected as the catalog is written, from the same entries, as a reader
    // of the catalog will read them.
    if (m_index != nullptr) {
        std::string titleRead;
        std::string labelRead;
        XmlTextEncoder::appendAsRead(titleRead, title);
        XmlTextEncoder::appendAsRead(labelRead, label);
        m_index->beginDisk(titleRead, labelRead);
        // The facts of the database go into the index with the texts.
        if (m_database != nullptr)
            m_index->keepFacts();
    }
    if (m_database != nullptr)
        m_database->beginDisk(title);
}

void CatalogWriter::endDisk()
{
    appendEndTag(m_output.line(), catalog::kDiskElement);
    m_output.endLineToBoth();
}

void CatalogWriter::openDirectory(const platform::DirEntry& entry)
{
    std::string& line = m_output.line();
    appendOpening(line, catalog::kDirectoryElement, catalog::kTitleAttribute);
    m_encoder.append(line, entry.name);
    appendNextAttribute(line, catalog::kCreateDateAttribute);
    appendDate(line, entry);
    line += "\">";
    m_output.endLineToBoth();
    if (m_index != nullptr)
        m_index->enterDirectory(asRead(entry.name));
    if (m_database != nullptr)
        m_database->openFolder(entry);
}

void CatalogWriter::closeDirectory()
{
    appendEndTag(m_output.line(), catalog::kDirectoryElement);
    m_output.endLineToBoth();
    if (m_index != nullptr)
        m_index->leaveDirectory();
    if (m_database != nullptr)
        m_database->closeFolder();
}

bool CatalogWriter::addFile(const platform::DirEntry& entry)
{
    if (!filePassesFilter(m_settings, catalog::getFileExt(entry.name, m_upper)))
        return false;
    std::string& line = m_output.line();
    appendOpening(line, catalog::kFileElement, catalog::kCreateDateAttribute);
    appendDate(line, entry);
    appendNextAttribute(line, catalog::kFileSizeAttribute);
    const std::size_t sizeStart = line.size();
    appendSize(line, entry);
    const std::size_t sizeEnd = line.size();
    line += "\">";
    m_encoder.appendElementText(line, entry.name);
    appendEndTag(line, catalog::kFileElement);
    if (m_index != nullptr) {
        const std::string_view size = std::string_view(line).substr(sizeStart, sizeEnd - sizeStart);
        m_index->addFile(asRead(entry.name), size, m_dateRead, m_database != nullptr ? factsOf(entry) : std::nullopt);
    }
    if (m_database != nullptr)
        m_lastFileRow = m_database->addFile(entry, sizeEnd > sizeStart);
    m_output.endLineToXml();
    return true;
}

// The text a reader of the catalog reads back for what was written of text: most names are
// printable ASCII, which reads back as it is.
std::string_view CatalogWriter::asRead(std::string_view text)
{
    if (std::ranges::all_of(text, [](char c) { return c >= 0x20 && c < 0x7F; }))
        return text;
    m_asRead.clear();
    XmlTextEncoder::appendAsRead(m_asRead, text);
    return m_asRead;
}

// Each distinct day is formatted and encoded once; trees hold few distinct days. The text a
// reader reads back is kept for the index.
void CatalogWriter::appendDate(std::string& line, const platform::DirEntry& entry)
{
    m_dateRead = {};
    const auto time = entry.creationTime();
    if (!time)
        return;
    const auto day = catalog::fileTimeToDate(*time).time_since_epoch().count();
    auto found = m_dateTexts.find(day);
    if (found == m_dateTexts.end()) {
        const std::string text = m_dates.longDate(catalog::fileTimeToDate(*time));
        DateTexts texts;
        m_encoder.append(texts.written, text);
        XmlTextEncoder::appendAsRead(texts.read, text);
        found = m_dateTexts.emplace(day, std::move(texts)).first;
    }
    line += found->second.written;
    m_dateRead = found->second.read;
}

} // namespace mellowby::scan
