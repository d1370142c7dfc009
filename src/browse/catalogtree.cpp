#include "browse/catalogtree.h"

#include <stdexcept>

namespace mellowby::browse {

NodeId CatalogTree::newNode(NodeId parent, std::size_t row)
{
    m_nodes.push_back({ {}, parent, row, {}, true });
    return static_cast<NodeId>(m_nodes.size());
}

NodeId CatalogTree::beginRoot()
{
    if (m_observer != nullptr)
        m_observer->beginAddRoot(m_roots.size());
    const NodeId root = newNode(kNoNode, m_roots.size());
    m_roots.push_back(root);
    return root;
}

void CatalogTree::endRoot()
{
    if (m_observer != nullptr)
        m_observer->endAddRoot();
}

NodeId CatalogTree::addChild(NodeId parent)
{
    if (!contains(parent))
        throw std::invalid_argument("no such tree node");
    const NodeId child = newNode(parent, at(parent).children.size());
    at(parent).children.push_back(child);
    return child;
}

void CatalogTree::setLabel(NodeId node, std::string label)
{
    at(node).label = std::move(label);
}

void CatalogTree::removeRoot(NodeId root)
{
    if (!contains(root) || at(root).parent != kNoNode)
        throw std::invalid_argument("not a root of the tree");
    const std::size_t row = at(root).row;
    if (m_observer != nullptr)
        m_observer->beginRemoveRoot(row);
    bool selectionRemoved = false;
    std::vector<NodeId> pending { root };
    while (!pending.empty()) {
        const NodeId node = pending.back();
        pending.pop_back();
        Node& removed = at(node);
        selectionRemoved = selectionRemoved || node == m_selected;
        pending.insert(pending.end(), removed.children.begin(), removed.children.end());
        // The slot stays as a tombstone so that no later node gets this index.
        removed = Node { {}, kNoNode, 0, {}, false };
    }
    m_roots.erase(m_roots.begin() + static_cast<std::ptrdiff_t>(row));
    for (std::size_t i = row; i < m_roots.size(); ++i)
        at(m_roots[i]).row = i;
    if (selectionRemoved)
        m_selected = kNoNode;
    if (m_observer != nullptr)
        m_observer->endRemoveRoot();
}

bool CatalogTree::contains(NodeId node) const
{
    return node >= 1 && static_cast<std::size_t>(node) <= m_nodes.size() && at(node).alive;
}

const std::string& CatalogTree::label(NodeId node) const
{
    return at(node).label;
}

NodeId CatalogTree::parent(NodeId node) const
{
    return at(node).parent;
}

const std::vector<NodeId>& CatalogTree::children(NodeId node) const
{
    return at(node).children;
}

std::size_t CatalogTree::row(NodeId node) const
{
    return at(node).row;
}

void CatalogTree::select(NodeId node)
{
    m_selected = contains(node) ? node : kNoNode;
    if (m_observer != nullptr)
        m_observer->selectionChanged(m_selected);
}

} // namespace mellowby::browse
