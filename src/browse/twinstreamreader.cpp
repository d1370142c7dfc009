#include "browse/twinstreamreader.h"

#include <limits>

#include "catalog/catalogformat.h"
#include "names/writerformreader.h"

namespace mellowby::browse {

namespace {

// The Disk and Directory elements of a twin, each a node below the element it lies in.
class TwinSink final : public names::IWriterFormSink {
public:
    explicit TwinSink(TwinNodes& nodes)
        : m_nodes(nodes)
    {
    }

    bool disk(const names::WriterFormTag& tag) override { return add(tag); }
    bool enterDirectory(const names::WriterFormTag& tag) override { return add(tag); }
    void leaveDirectory() override { m_open.pop_back(); }
    // A File would be a node of its own, labelled with its text: not of a twin's form.
    bool file(const names::WriterFormTag&, std::string_view) override { return false; }

private:
    bool add(const names::WriterFormTag& tag)
    {
        // An element without attributes gets no label from the model, which reports it.
        if (tag.count < 1 || m_nodes.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
            return false;
        const std::uint32_t parent = m_open.empty() ? TwinNodes::kNoParent : m_open.back();
        m_open.push_back(static_cast<std::uint32_t>(m_nodes.size()));
        m_nodes.add(parent, tag.values[catalog::kTitlePosition]);
        return true;
    }

    TwinNodes& m_nodes;
    std::vector<std::uint32_t> m_open; // the elements the next one lies in
};

} // namespace

std::string_view TwinNodes::label(std::size_t node) const
{
    const std::size_t begin = node == 0 ? 0 : m_labelEnds[node - 1];
    return std::string_view(m_labels).substr(begin, m_labelEnds[node] - begin);
}

void TwinNodes::add(std::uint32_t parent, std::string_view label)
{
    m_parents.push_back(parent);
    m_labels += label;
    m_labelEnds.push_back(m_labels.size());
}

std::optional<TwinNodes> readTwinNodes(const platform::IReadableFile& twin)
{
    TwinNodes nodes;
    TwinSink sink(nodes);
    if (!names::readWriterForm(twin, sink))
        return std::nullopt;
    return nodes;
}

} // namespace mellowby::browse
