#pragma once

#include "catalogdb/databasestate.h"

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "names/filefacts.h"
#include "names/indexblockreader.h"
#include "names/indexkey.h"
#include "platform/filesystem.h"

namespace mellowby::names {

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

    // The folders and files inside the catalog's archives, which come after the catalog's own
    // (see the database's members): whether a file is one, whether a folder is one or stands for
    // an archive itself (its files are the archive's top), and whether a folder stands for an
    // archive (view: the folder's own).
    bool isMember(std::uint32_t file) const;
    bool isInArchive(std::uint32_t directory) const;
    bool isArchive(std::uint32_t directory, const DirectoryView& view) const;
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
    // Its name alone.
    std::string_view nameOf(std::uint32_t number) const;
    // Where its size and date texts lie: each distinct text lies once, so millions of rows are told
    // apart by these places and only the first row of each text reads it (with textAt).
    struct TextPlaces {
        std::uint32_t size;
        std::uint32_t date;
    };
    TextPlaces textPlacesOf(std::uint32_t number) const;
    std::string_view textAt(std::uint32_t place) const;

    // Whether the index carries the facts of the catalog's database: it has one, and it belongs to
    // the catalog file as it is.
    bool hasFacts() const;
    // The facts of a file; nothing without them, or for a file whose facts could not be read.
    std::optional<FileFacts> facts(std::uint32_t file) const;
    // What became of the catalog's database when the index was made, and the file it judged.
    catalogdb::DatabaseState databaseState() const;
    std::optional<platform::FileStamp> databaseStamp() const;

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
    // the next is looked for, and memory does not grow with the hits. A batch may be empty: found
    // is asked after every stretch of names. The search ends early when found returns false.
    using FoundHits = std::function<bool(std::span<const Hit>)>;
    // NumbersOnly: the hits carry their numbers alone, for a caller that reads their texts later.
    enum class HitTexts { All, NumbersOnly };
    void findNames(std::string_view needle, const FoundHits& found, HitTexts texts = HitTexts::All) const;

    // A copy with blocks and texts of its own: for another thread, or for whoever keeps reading
    // the index while this copy's texts are in use.
    NamesIndex forAnotherThread() const;

private:
    NamesIndex() = default;
    // The size or date text at offset, in kept unless it can be given as it lies.
    std::string_view fileText(std::uint32_t offset, std::string& kept) const;

    // The texts the accessors give.
    struct Texts {
        std::string name;
        std::string size;
        std::string date;
        std::string title;
        std::string prefix;
    };

    // Shared by copies; one reader at a time.
    std::shared_ptr<IndexBlockReader> m_reader;
    std::shared_ptr<Texts> m_texts;
};

} // namespace mellowby::names
