#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::names {

// The attributes of a start tag by position, decoded as the document model decodes them.
struct WriterFormTag {
    static constexpr std::size_t kMaxAttributes = 16;
    std::size_t count = 0;
    std::array<std::string, kMaxAttributes> values;
};

// What a reader of the writer's form does with the elements it reads, in document order. Each
// call may refuse what it is given (false): the file is then left to the document model.
class IWriterFormSink {
public:
    virtual ~IWriterFormSink() = default;
    virtual bool disk(const WriterFormTag& tag) = 0;
    virtual bool enterDirectory(const WriterFormTag& tag) = 0;
    virtual void leaveDirectory() = 0;
    // A File element with its text, which is never empty or white space alone.
    virtual bool file(const WriterFormTag& tag, std::string_view text) = 0;
    // Asked after every piece of the file: false gives up.
    virtual bool goesOn() const { return true; }
};

// Reads a catalog file (or its index twin) of the form this program writes a piece at a time,
// without building a document: memory grows with the longest line, not with the file. It takes
// only what it can read exactly as the document model reads it (the declaration, a Disk element,
// Directory elements and File elements with their text, each with its attributes, the five
// entities and character references) and gives up on anything else: comments, other elements,
// stray text, an unknown entity, a NUL, a byte-order mark, a file cut short. True when the whole
// file was read into sink.
bool readWriterForm(const platform::IReadableFile& file, IWriterFormSink& sink);

} // namespace mellowby::names
