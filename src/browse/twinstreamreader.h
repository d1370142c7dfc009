#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::browse {

// The nodes an index twin gives the tree, in the order the tree creates them (each node before
// the nodes below it, siblings in document order): each node's label and the node it lies below.
// Held in a few bytes a directory beside the labels themselves.
class TwinNodes {
public:
    static constexpr std::uint32_t kNoParent = 0xFFFFFFFF;

    std::size_t size() const { return m_parents.size(); }
    // kNoParent for the first, the root.
    std::uint32_t parent(std::size_t node) const { return m_parents[node]; }
    std::string_view label(std::size_t node) const;

    void add(std::uint32_t parent, std::string_view label);

private:
    std::vector<std::uint32_t> m_parents;
    std::vector<std::size_t> m_labelEnds; // in m_labels
    std::string m_labels;
};

// Reads an index twin of the form the writer writes (a Disk element and nested Directory
// elements, each with its title first, nothing else) a piece at a time, without a document model.
// Nothing when the twin holds anything else (Files, text, comments, an element without
// attributes, a file cut short...): such a twin is read through the document model, so that the
// tree is the model's in every case. A label is the first attribute, as the model gives it.
std::optional<TwinNodes> readTwinNodes(const platform::IReadableFile& twin);

} // namespace mellowby::browse
