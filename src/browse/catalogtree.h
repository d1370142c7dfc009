#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mellowby::browse {

// A node's index: 1 and up, never reused during a run, so an index kept for a catalog's root
// keeps naming that root whatever is added or removed around it. 0 names no node.
using NodeId = std::int64_t;
inline constexpr NodeId kNoNode = 0;

// Told about changes of the tree, so that a view can follow it. Only whole catalogs (a root with
// its subtree) come and go; the nodes of a catalog never change after it was filled.
class CatalogTreeObserver {
public:
    virtual ~CatalogTreeObserver() = default;
    virtual void beginAddRoot(std::size_t row) = 0;
    virtual void endAddRoot() = 0;
    virtual void beginRemoveRoot(std::size_t row) = 0;
    virtual void endRemoveRoot() = 0;
    virtual void selectionChanged(NodeId node) = 0;
};

// The catalog tree: one root per loaded catalog, below it the catalog's directories in document
// order. Only labels are kept; files are read from the catalog file when a node is listed.
class CatalogTree {
public:
    void setObserver(CatalogTreeObserver* observer) { m_observer = observer; }

    // Appends a root after the last one. The root and the nodes added below it until endRoot()
    // reach the observer as one insertion.
    NodeId beginRoot();
    void endRoot();
    // Appends a node as the last child of parent.
    NodeId addChild(NodeId parent);
    void setLabel(NodeId node, std::string label);

    // Removes a root with every node below it; the indexes of all other nodes stay valid.
    void removeRoot(NodeId root);

    bool contains(NodeId node) const;
    const std::string& label(NodeId node) const;
    NodeId parent(NodeId node) const; // kNoNode for a root
    const std::vector<NodeId>& children(NodeId node) const;
    const std::vector<NodeId>& roots() const { return m_roots; }
    // Position of the node among its siblings (roots among roots).
    std::size_t row(NodeId node) const;
    bool empty() const { return m_roots.empty(); }

    NodeId selectedNode() const { return m_selected; }
    // Selects a node (kNoNode clears the selection); the observer is told.
    void select(NodeId node);
    // Records the user's selection in the view, without telling the observer back.
    void setSelectionFromView(NodeId node) { m_selected = contains(node) ? node : kNoNode; }

private:
    struct Node {
        std::string label;
        NodeId parent = kNoNode;
        std::size_t row = 0;
        std::vector<NodeId> children;
        bool alive = true;
    };
    Node& at(NodeId node) { return m_nodes[static_cast<std::size_t>(node - 1)]; }
    const Node& at(NodeId node) const { return m_nodes[static_cast<std::size_t>(node - 1)]; }
    NodeId newNode(NodeId parent, std::size_t row);

    std::vector<Node> m_nodes; // by index - 1; removed nodes stay as tombstones
    std::vector<NodeId> m_roots;
    NodeId m_selected = kNoNode;
    CatalogTreeObserver* m_observer = nullptr;
};

} // namespace mellowby::browse
