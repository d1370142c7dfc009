#pragma once

#include "names/growingbuffer.h"
#include "names/namesindexformat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/uppercaser.h"
#include "platform/error.h"
#include "platform/filesystem.h"

namespace mellowby::names {

// Which catalog file an index is made for: its folder, its name and the version of it.
struct IndexKey {
    std::string dataFolder; // absolute
    std::string fileName; // as it lies on disk
    platform::FileStamp stamp;
};

// Where the bytes of an index go as they are written.
class IIndexSink {
public:
    virtual ~IIndexSink() = default;
    virtual std::expected<void, platform::Error> write(std::string_view bytes) = 0;
    // Writes over bytes already written (the header, known last).
    virtual std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) = 0;
};

// Collects the entries of one catalog, in document order and as a reader of the catalog file reads
// them, and writes them as a names index: the names upper-cased as the search compares them, the
// folders with the texts their files' locations begin with, and each file's size and date texts,
// so that every row the file list and the search show can be made without the catalog file.
class NamesIndexBuilder {
public:
    // The Disk element: its title (attribute 0) and its Label (attribute 1).
    void beginDisk(std::string_view title, std::string_view label);
    void enterDirectory(std::string_view title);
    void leaveDirectory();
    // A File element: its text, and its attributes 1 (size) and 0 (date).
    void addFile(std::string_view name, std::string_view size, std::string_view date);
    // The same with the size and date as numbers text() gave, for a writer that knows which of its
    // texts repeat and so spares most lookups.
    void addFile(std::string_view name, std::uint32_t size, std::uint32_t date);
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
    static std::expected<void, platform::Error> writeHeader(
        const Body& body, const platform::FileStamp& stamp, IIndexSink& sink);

    // How many bytes write() gives.
    std::uint64_t indexSize(const IndexKey& key) const;
    // Whether write() has begun: what was collected is (partly) gone.
    bool spent() const { return m_spent; }

private:
    std::uint32_t addDirectory(std::uint32_t parent, std::string_view title, std::string prefix);
    std::array<std::uint64_t, indexformat::kSectionCount> sectionLengths(std::uint64_t keyBytes) const;
    std::pair<std::uint64_t, std::uint64_t> addFolderText(std::string_view value);

    struct Directory {
        std::uint32_t parent;
        std::uint32_t lastChild;
        std::pair<std::uint64_t, std::uint64_t> title; // offset and length in m_folderTexts
        std::pair<std::uint64_t, std::uint64_t> prefix;
    };

    catalog::UpperCaser m_upper;
    char m_separator = '/';
    bool m_fits = true;
    bool m_spent = false;
    std::uint64_t m_prefixBytes = 0;
    // The size and date texts, each once after its length.
    std::string m_texts;
    GrowingBuffer m_folderTexts;
    // The number of each distinct size and date text, by open addressing: a catalog interns one of
    // each for every file, and the table of those few texts stays in the processor's cache.
    class TextNumbers {
    public:
        // The offset in texts of value, or kNone with slot set for add().
        std::uint32_t find(std::string_view texts, std::string_view value, std::uint64_t hash, std::size_t& slot) const;
        void add(std::uint64_t hash, std::size_t slot, std::uint32_t offset, std::uint32_t length);
        // Makes room for one more.
        void reserveOne();
        void clear();

    private:
        struct Slot {
            std::uint64_t hash;
            std::uint32_t offset;
            std::uint32_t length;
        };
        std::vector<Slot> m_slots;
        std::size_t m_used = 0;
    };

    TextNumbers m_fileTexts;
    std::vector<Directory> m_directories;
    std::vector<std::uint32_t> m_firstChild;
    std::vector<std::uint32_t> m_nextSibling;
    // The folders the next entry lies in, the Disk first, with what their files' locations begin with.
    std::vector<std::pair<std::uint32_t, std::string>> m_open;
    std::uint32_t m_fileCount = 0;
    GrowingBuffer m_names;
    GrowingBuffer m_nameOffsets; // 32 bits each
    GrowingBuffer m_files; // indexformat::FileRecord, in document order
    GrowingBuffer m_runs; // indexformat::RunRecord
    GrowingBuffer m_extraNumbers; // 32 bits each
    GrowingBuffer m_extraUpperNames;
};

// Thrown by the accessors of a NamesIndex when a block they touch does not match its checksum,
// cannot be read, or holds what no writer writes.
struct IndexDamaged { };

// A names index read from its file a block at a time. Every block is checked against its checksum
// as it is read; an accessor that meets a damaged one throws IndexDamaged. The texts an accessor
// gives stay valid until that accessor is called again.
class NamesIndex {
public:
    // The index in file made for key; an error in words when it is of another layout, made for
    // another file or another version of it, or its header is damaged.
    static std::expected<NamesIndex, std::string> open(
        std::shared_ptr<const platform::IReadableFile> file, const IndexKey& key);

    // The catalog is to be read directly: the index holds nothing else.
    bool readsDirectly() const;

    std::size_t fileCount() const;
    std::size_t directoryCount() const;
    char separator() const;

    struct DirectoryView {
        std::uint32_t parent;
        std::uint32_t firstChild;
        std::uint32_t nextSibling;
        std::string_view title;
        std::string_view prefix;
        std::uint32_t firstFile;
        std::uint32_t fileCount;
    };
    DirectoryView directory(std::uint32_t number) const;
    // The file numbers of a folder, in document order.
    std::vector<std::uint32_t> filesOf(const DirectoryView& directory) const;

    // A file's name and its size and date texts.
    struct FileView {
        std::string_view name;
        std::string_view size;
        std::string_view date;
    };
    FileView file(std::uint32_t number) const;
    // Its size and date texts only: they are kept apart from the names.
    FileView textsOf(std::uint32_t number) const;

    // A file whose name holds what was searched for, with its folder, and its name, size and date
    // texts (valid until the batch it came in is done).
    struct Hit {
        std::uint32_t number;
        std::uint32_t directory;
        std::string_view name;
        std::string_view size;
        std::string_view date;
    };
    // The files whose upper-cased names hold needle (upper-cased, without NUL), in document order,
    // given to found a batch at a time as the names are read: the rows of one batch go out before
    // the next is looked for, and memory does not grow with the hits. The search ends early when
    // found returns false.
    void findNames(std::string_view needle, const std::function<bool(std::span<const Hit>)>& found) const;

private:
    class Reader;
    NamesIndex() = default;
    template <typename Record> Record record(std::size_t section, std::uint64_t number) const;
    // The size or date text at offset, in kept unless it can be given as it lies.
    std::string_view fileText(std::uint32_t offset, std::string& kept) const;
    std::vector<std::uint32_t> extraHits(std::string_view needle) const;
    void scanNames(std::string_view needle, const std::function<bool(std::span<const Hit>)>& found) const;

    // The texts the accessors give.
    struct Texts {
        std::string name;
        std::string size;
        std::string date;
        std::string title;
        std::string prefix;
    };

    // Shared by copies; one reader at a time.
    std::shared_ptr<Reader> m_reader;
    std::shared_ptr<Texts> m_texts;
};

} // namespace mellowby::names
