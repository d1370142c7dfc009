#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "names/growingbuffer.h"
#include "search/texttable.h"

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

struct ContentDuplicates;

// Groups of files that share a name, compared as the search compares names (upper-cased), and a
// size. Only the files of the groups are held, a few bytes each beside their names; the texts of
// their folders and sizes are kept once however many files share them.
class DuplicateGroups {
public:
    struct Copy {
        std::string_view catalog;
        std::string_view name; // as the catalog holds it
        std::string_view folder; // what its location begins with: the location is folder + name
    };
    struct Group {
        std::uint64_t kilobytes = 0; // of one copy
        std::size_t firstCopy = 0; // in copies
        std::uint32_t copyCount = 0;
        std::uint32_t size = 0; // the first copy's size text, as size() gives it

        std::uint64_t totalKilobytes() const { return kilobytes * copyCount; }
    };

    // Largest total size first, then by name.
    const std::vector<Group>& groups() const { return m_groups; }
    // The copies of each group lie together, in the order of the catalogs given, each in
    // document order.
    Copy copy(std::size_t number) const;
    // The size of a group's files as its first copy's catalog holds it.
    std::string_view size(const Group& group) const { return shared(group.size); }

private:
    friend DuplicateGroups findDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
        const std::vector<std::string>& catalogs, std::uint64_t minKilobytes);
    friend ContentDuplicates findContentDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
        const std::vector<std::string>& catalogs, std::uint64_t minKilobytes);

    // A file of a name and size that came more than once.
    struct CopyRecord {
        std::uint64_t name; // in m_texts, then its length
        std::uint32_t nameLength;
        std::uint32_t catalog;
        std::uint32_t folder; // in m_shared
        std::uint32_t size; // in m_shared
    };
    std::string_view shared(std::uint32_t text) const;
    // The order groups are listed in: the largest total size first, then by their first copy's name.
    void orderGroups();

    std::vector<Group> m_groups;
    std::vector<CopyRecord> m_copies;
    std::vector<std::string> m_catalogs;
    names::GrowingBuffer m_texts; // the names of the copies
    TextTable m_shared; // folders and sizes, each once
};

// The groups of two or more files of the catalogs given that share a name and a size of at least
// minKilobytes. Sizes compare by their number of KB; a size that is no number makes a file no
// one's duplicate.
DuplicateGroups findDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes);

// The number of KB of a size text as the writer stores it ("123KB"), or nothing.
std::optional<std::uint64_t> kilobytesOf(std::string_view size);

} // namespace mellowby::search
