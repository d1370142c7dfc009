#pragma once

#include <optional>
#include <string>

#include "browse/catalogcollection.h"
#include "browse/catalogtree.h"
#include "browse/twinstreamreader.h"

namespace pugi {
class xml_node;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::catalog {
class CatalogStore;
} // namespace mellowby::catalog

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::browse {

// What the main window keeps about the loaded catalogs: the tree, the collection, the Data
// folder they come from (with their names indexes) and the current catalog name. The indexes
// must outlive it.
class CatalogBrowser {
public:
    CatalogBrowser(const names::NamesIndexCache& indexes, platform::IMessageBox& box);

    const names::NamesIndexCache& indexes() const { return m_indexes; }
    const catalog::CatalogStore& store() const;
    platform::IMessageBox& box() { return m_box; }
    CatalogTree& tree() { return m_tree; }
    const CatalogTree& tree() const { return m_tree; }
    const CatalogCollection& collection() const { return m_collection; }

    // The catalog last listed through the tree; empty at start and after a deletion.
    const std::string& currentCatalogName() const { return m_currentCatalogName; }
    void setCurrentCatalogName(std::string name) { m_currentCatalogName = std::move(name); }

    // Loads every catalog of the Data folder, in the order the store lists them. True when the
    // folder held at least one; the caller then lists the first node.
    bool getAllXmlToTree();
    // Loads the catalog named theXmlFile from the Data folder, replacing a loaded one of the
    // same name, which leaves its place: the new root is the last. Catalogs are keyed by their
    // name without a final ".xml" in every lookup here.
    bool AddXmlToTree(const std::string& theXmlFile);
    // Fills the tree from the index twin of a catalog (its file name or name); true with the new
    // root in rootIndex when it did.
    bool ShowXml(const std::string& catalogFile, NodeId& rootIndex);
    // The root of the catalog named name; -1 (after the error box) when it is not loaded.
    NodeId getXmlIndex(const std::string& name);
    bool ifXmlLoaded(const std::string& name) const;
    // Removes a loaded catalog from the tree and the collection; false when none is loaded
    // under that name.
    bool removeCatalog(const std::string& name);

    // Adds the node of element with its subtree below parent (kNoNode: a new root); returns the
    // new root, or 0 when parent was given. An element that gives no label costs its own subtree;
    // the first such element of a call is reported in the error box.
    NodeId AddNode(const pugi::xml_node& element, NodeId parent);

private:
    // The nodes of a catalog's twin read without a document model; nothing when it is not of the
    // writer's form or cannot be read.
    std::optional<TwinNodes> streamTwin(const std::string& catalogFile) const;
    // A new root with the nodes below it; its index.
    NodeId addNodes(const TwinNodes& nodes);

    const names::NamesIndexCache& m_indexes;
    platform::IMessageBox& m_box;
    CatalogTree m_tree;
    CatalogCollection m_collection;
    std::string m_currentCatalogName;
};

// The element path of a tree node ("Disk", then "/Directory" per level below the root); the
// label of its root, the catalog name, goes to catalogName.
std::string getParentNode(const CatalogTree& tree, NodeId node, std::string& catalogName);

} // namespace mellowby::browse
