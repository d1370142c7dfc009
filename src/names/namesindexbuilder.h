#pragma once

#include "catalogdb/databasestate.h"

#include <array>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/uppercaser.h"
#include "names/filefacts.h"
#include "names/filetexts.h"
#include "names/growingbuffer.h"
#include "names/indexkey.h"
#include "names/indexsink.h"
#include "names/namesindexformat.h"
#include "names/spillingbuffer.h"
#include "platform/error.h"
#include "platform/filesystem.h"

namespace mellowby::names {

class IndexSectionWriter;

// Collects the entries of one catalog, in document order and as a reader of the catalog file reads
// them, and writes them as a names index: the names upper-cased as the search compares them, the
// folders with the texts their files' locations begin with, and each file's size and date texts,
// so that every row the file list and the search show can be made without the catalog file.
//
// What grows with the folders (their titles and locations, where the folder of the files changes,
// the distinct size and date texts) is held in memory; what grows with the files (their records,
// names and upper-cased names) is held in memory too unless a spill space is given, where each
// such section keeps at most the space's limit in memory and the rest in a scratch file, so that
// the memory a catalog of any number of files takes is bounded by its folders.
class NamesIndexBuilder {
public:
    // Everything in memory.
    NamesIndexBuilder();
    // The sections that grow with the files in space.
    explicit NamesIndexBuilder(const SpillSpace& space);
    NamesIndexBuilder(const NamesIndexBuilder&) = delete;
    NamesIndexBuilder& operator=(const NamesIndexBuilder&) = delete;

    // The Disk element: its title (attribute 0) and its Label (attribute 1).
    void beginDisk(std::string_view title, std::string_view label);
    void enterDirectory(std::string_view title);
    void leaveDirectory();
    // A File element: its text, and its attributes 1 (size) and 0 (date), with its facts when
    // facts are kept (none: the database has none for it; see keepFacts).
    void addFile(std::string_view name, std::string_view size, std::string_view date,
        std::optional<SizeAndTime> facts = std::nullopt);
    // The same with the size and date as numbers text() gave, for a writer that knows which of its
    // texts repeat and so spares most lookups.
    void addFile(
        std::string_view name, std::uint32_t size, std::uint32_t date, std::optional<SizeAndTime> facts = std::nullopt);

    // The index carries the facts of the catalog's database, which belongs to the catalog, from
    // the first file on. The facts of a file added without any are asked of source when one is
    // given (a database read alongside the catalog).
    void keepFacts(std::function<std::optional<SizeAndTime>()> source = {});
    // Lets go of the facts: the database turned out not to belong after all.
    void dropFacts();
    // What became of the catalog's database, and the file judged (none when there is none).
    void setDatabase(catalogdb::DatabaseState state, std::optional<platform::FileStamp> stamp);
    // The archives of the catalog, whose folders and files are added once its entries are in.
    // entries: the archives' entries by their place in the catalog as its database numbers them
    // (the Disk element 0, then every Directory and File element in document order), ascending.
    void rememberArchives(std::vector<std::int64_t> entries);
    // After every entry of the catalog: the folder that stands for the archive of entry, under the
    // folder the archive lies in and named after it, so that its members' locations run through
    // it; nothing when the entry was not among the catalog's files or was not remembered.
    std::optional<std::uint32_t> addArchiveFolder(std::int64_t entry);
    // A folder inside an archive, in the archive's folder or another one inside it.
    std::uint32_t addMemberFolder(std::uint32_t parent, std::string_view title);
    // A file inside an archive, in one of its folders.
    void addMember(std::uint32_t folder, std::string_view name, std::string_view size, std::string_view date,
        std::optional<SizeAndTime> facts);
    // The number of a text, the same for every equal text.
    std::uint32_t text(std::string_view value);

    // False once the catalog is beyond what an index is made for: folders so deep that the texts
    // their locations begin with would outgrow any catalog. Such a catalog is read directly.
    bool fits() const { return m_fits; }
    // Makes the index one that says its catalog is read directly (a catalog not of the form an
    // index is made from), and lets go of what was collected.
    void giveUp();

    // Writes the index for key and lets go of what was collected, section after section, so that
    // the collected entries and the written index are never both held whole. The builder is empty
    // afterwards. A builder that gave up writes an index that says so and holds nothing else, so
    // the catalog is not tried again until it changes.
    std::expected<void, platform::Error> write(const IndexKey& key, IIndexSink& sink);

    // The same in two steps, for a catalog still being written: everything but the header, which
    // names the version of the catalog file, then the header once the file is in place. The key's
    // stamp is not used by writeBody.
    struct Body {
        std::array<char, 512> header {}; // the header, but for the catalog's stamp
    };
    std::expected<Body, platform::Error> writeBody(const IndexKey& key, IIndexSink& sink);
    // stamp: the catalog file's; database: its database's, when it has one.
    static std::expected<void, platform::Error> writeHeader(const Body& body, const platform::FileStamp& stamp,
        const std::optional<platform::FileStamp>& database, IIndexSink& sink);

    // How many bytes write() gives.
    std::uint64_t indexSize(const IndexKey& key) const;
    // Whether write() has begun: what was collected is (partly) gone.
    bool spent() const { return m_spent; }
    // The memory what was collected takes now.
    std::size_t heldBytes() const;

private:
    struct Directory {
        std::uint32_t parent;
        std::uint32_t lastChild;
        std::pair<std::uint64_t, std::uint64_t> title; // offset and length in m_folderTexts
        std::pair<std::uint64_t, std::uint64_t> prefix;
    };
    // Where the files of each folder are in the DirectoryFiles section, which lists them grouped
    // by folder: worked out from the runs, which grow with the folders, not the files.
    struct FileGroups {
        std::vector<std::uint32_t> counts; // per folder
        std::vector<std::uint32_t> firsts; // per folder, where its group starts
        std::vector<std::uint32_t> runs; // run numbers, by folder, each folder's in document order
    };

    std::uint32_t addDirectory(std::uint32_t parent, std::string_view title, std::string prefix);
    // Counts one more entry of the catalog and, when it is a remembered archive, where it lies.
    void countEntry(std::optional<std::string_view> fileName);
    // What the locations of the files in an archive's folder begin with.
    const std::string& archivePrefix(std::uint32_t folder) const;
    std::pair<std::uint64_t, std::uint64_t> addFolderText(std::string_view value);
    std::array<std::uint64_t, indexformat::kSectionCount> sectionLengths(std::uint64_t keyBytes) const;

    void addFacts(std::string_view name, std::optional<SizeAndTime> facts);
    FileGroups groupFilesByFolder() const;
    indexformat::Header layOut(std::uint64_t keyBytes, bool readDirectly) const;
    // Writes the sections after the checksums, one writer each, letting go of each as it is written.
    void writeSections(IndexSectionWriter& writer, std::string_view keyBytes);
    void writeDirectories(IndexSectionWriter& writer, const FileGroups& groups);
    void writeDirectoryFiles(IndexSectionWriter& writer, const FileGroups& groups);
    static void writeSpilled(IndexSectionWriter& writer, SpillingBuffer& buffer);
    // Every buffer that grows with the files.
    std::array<SpillingBuffer*, 7> fileBuffers();

    catalog::UpperCaser m_upper;
    char m_separator = '/';
    bool m_fits = true;
    bool m_spent = false;
    std::uint64_t m_prefixBytes = 0;
    FileTexts m_fileTexts;
    GrowingBuffer m_folderTexts;
    std::vector<Directory> m_directories;
    std::vector<std::uint32_t> m_firstChild;
    std::vector<std::uint32_t> m_nextSibling;
    // The folders the next entry lies in, the Disk first, with what their files' locations begin with.
    std::vector<std::pair<std::uint32_t, std::string>> m_open;
    std::uint32_t m_fileCount = 0;
    GrowingBuffer m_runs; // indexformat::RunRecord
    std::unique_ptr<SpillSpace> m_space; // nothing: everything in memory
    SpillingBuffer m_names;
    SpillingBuffer m_nameOffsets; // 32 bits each
    SpillingBuffer m_files; // indexformat::FileRecord, in document order
    SpillingBuffer m_extraNumbers; // 32 bits each
    SpillingBuffer m_extraUpperNames;
    bool m_keepsFacts = false;
    std::function<std::optional<SizeAndTime>()> m_factSource;
    SpillingBuffer m_facts; // indexformat::FactRecord
    SpillingBuffer m_typeOffsets; // 16 bits each
    // The catalog's archives: which entries, the entries met so far, and where each lies.
    struct PlacedArchive {
        std::uint32_t folder;
        std::string name;
        std::string prefix; // of the folder it lies in
    };
    std::vector<std::int64_t> m_archiveEntries;
    std::size_t m_nextArchive = 0;
    std::int64_t m_entryCount = 0;
    std::vector<std::pair<std::int64_t, PlacedArchive>> m_placedArchives;
    // The folders made for archives and their members, from the first on, with their prefixes.
    std::optional<std::uint32_t> m_firstArchiveDirectory;
    std::optional<std::uint32_t> m_firstMemberFile;
    std::vector<std::string> m_archivePrefixes;
    catalogdb::DatabaseState m_databaseState = catalogdb::DatabaseState::Absent;
    std::optional<platform::FileStamp> m_databaseStamp;
};

} // namespace mellowby::names
