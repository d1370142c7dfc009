#pragma once

#include <cstddef>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

// Turns catalog elements into the locations the file list shows: the Disk Label, the titles of
// the directories on the way down and the element's own name, joined by the separator of the
// system the catalog was written on, with doubled separators collapsed. Walks up with a loop:
// catalogs nest as deep as the trees they describe.
class XmlLocator {
public:
    XmlLocator(platform::IMessageBox& box, char separator)
        : m_box(box)
        , m_separator(separator)
    {
    }

    // "\\" for a catalog written on Windows (its Disk Label holds backslashes and no slash),
    // "/" for every other.
    static char separatorOf(const pugi::xml_node& anyNodeOfCatalog);

    // Empty when node is empty or its own name cannot be taken; a level above it that fails
    // (after the error box) contributes nothing, so the location then starts with the separator.
    std::string location(const pugi::xml_node& node);

    // What the location of a File element of parent starts with: parent's location and the
    // separator, so that location(file) == prefixFor(parent) + the file's name. Empty when
    // parent is the document itself.
    std::string prefixFor(const pugi::xml_node& parent);

    // Turns prefixFor(parent) into prefixFor(child) in place, for a child of parent below the root
    // element: a folder's location begins with its parent's, so a walk down a deep catalog never
    // has to walk back up for it.
    void extendPrefix(std::string& parentPrefix, const pugi::xml_node& child);

private:
    std::optional<std::string_view> ownPart(const pugi::xml_node& node);
    std::string joinedLocation(const pugi::xml_node& node);

    platform::IMessageBox& m_box;
    char m_separator;
};

} // namespace mellowby::search
