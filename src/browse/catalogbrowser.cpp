#include "browse/catalogbrowser.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <vector>

#include "app/showmsg.h"
#include "browse/twinstreamreader.h"
#include "catalog/catalogformat.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "names/namesindexcache.h"

namespace mellowby::browse {

namespace {

// The label of a tree node made from element, or nothing when the element offers none.
std::optional<std::string> labelOf(const pugi::xml_node& element)
{
    std::size_t childCount = 0;
    for (auto child = element.first_child(); child && childCount < 2; child = child.next_sibling())
        ++childCount;
    const pugi::xml_attribute first = element.first_attribute();
    if (childCount >= 2)
        return first ? std::string(first.value()) : std::string(element.name());
    if (childCount == 1) {
        const pugi::xml_node child = element.first_child();
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            return std::string(child.value());
    }
    if (!first)
        return std::nullopt;
    return std::string(first.value());
}

} // namespace

std::optional<TwinNodes> CatalogBrowser::streamTwin(const std::string& catalogFile) const
{
    const auto path = store().twinPath(catalogFile);
    if (!path)
        return std::nullopt;
    const auto twin = store().fileSystem().openForReading(*path);
    if (!twin)
        return std::nullopt;
    return readTwinNodes(**twin);
}

NodeId CatalogBrowser::addNodes(const TwinNodes& nodes)
{
    const NodeId root = m_tree.beginRoot();
    m_tree.setLabel(root, std::string(nodes.label(0)));
    // Nodes come before the nodes below them, so a node's parent is known when it is created.
    std::vector<NodeId> created;
    created.reserve(nodes.size());
    created.push_back(root);
    for (std::size_t node = 1; node < nodes.size(); ++node) {
        const NodeId child = m_tree.addChild(created[nodes.parent(node)]);
        m_tree.setLabel(child, std::string(nodes.label(node)));
        created.push_back(child);
    }
    m_tree.endRoot();
    return root;
}

CatalogBrowser::CatalogBrowser(const names::NamesIndexCache& indexes, platform::IMessageBox& box)
    : m_indexes(indexes)
    , m_box(box)
{
}

const catalog::CatalogStore& CatalogBrowser::store() const
{
    return m_indexes.store();
}

bool CatalogBrowser::getAllXmlToTree()
{
    // A Data folder that cannot be read shows no catalogs, as one without any.
    const auto catalogs = store().catalogs().value_or(std::vector<catalog::StoredCatalog> {});
    for (const auto& stored : catalogs) {
        NodeId root = kNoNode;
        if (!ShowXml(stored.fileName, root))
            continue;
        app::clsXmlFile record;
        record.setFileName(stored.name);
        record.setIdxName(stored.name);
        record.setTreeIndex(root);
        // Two files whose names differ only in letter case are one catalog: the first is kept,
        // and the second leaves no node behind that nothing could list or delete.
        if (!m_collection.add(std::move(record)))
            m_tree.removeRoot(root);
    }
    return !catalogs.empty();
}

bool CatalogBrowser::AddXmlToTree(const std::string& theXmlFile)
{
    try {
        // Keyed as start-up keys the file it finds, so that a name typed with ".xml" is the
        // same catalog before and after a restart.
        const std::string key = catalog::catalogKeyOf(theXmlFile);
        if (ifXmlLoaded(key))
            removeCatalog(key);
        NodeId root = kNoNode;
        if (ShowXml(catalog::catalogFileNames(theXmlFile).xmlName, root)) {
            app::clsXmlFile record;
            record.setFileName(key);
            record.setIdxName(key);
            record.setTreeIndex(root);
            m_collection.add(std::move(record));
        }
        return true;
    } catch (const std::exception& failure) {
        app::ShowMsg(m_box, "将XML文件加入到树控件时出错！", 0, failure.what(), "frmMain-AddXmlToTree");
        return false;
    }
}

bool CatalogBrowser::ShowXml(const std::string& catalogFile, NodeId& rootIndex)
{
    try {
        // A twin of the writer's form is read without a document; anything else, and every
        // failure to read it, goes through the document model, which says what it says. Indexes
        // that read every catalog directly stand for the reference, which reads twins so too.
        const auto nodes = m_indexes.readsCatalogsDirectly() ? std::nullopt : streamTwin(catalogFile);
        if (nodes) {
            rootIndex = addNodes(*nodes);
            return true;
        }
        const catalog::CatalogDocument document = store().loadTwin(catalogFile);
        if (!document.loaded()) {
            const platform::Error& why = document.loadError();
            // A catalog without its twin (or whose twin is no ordinary file: a folder, a FIFO) is
            // not shown, and nothing is said. A twin that cannot be read or does not parse (its
            // writing stopped early, or it was damaged) would give a node without a name that
            // nothing could list or delete; the user is told why.
            if (why.number == ENOENT || why.number == EISDIR || why.number == EINVAL)
                return false;
            const std::string twin = store().twinPath(catalogFile).value_or(catalogFile);
            app::ShowMsg(m_box, "显示XML文件时出错！", why.number, twin + "：" + why.description, "frmMain-ShowXml");
            return false;
        }
        rootIndex = AddNode(document.documentElement(), kNoNode);
        return true;
    } catch (const std::exception& failure) {
        app::ShowMsg(m_box, "显示XML文件时出错！", 0, failure.what(), "frmMain-ShowXml");
        return false;
    }
}

NodeId CatalogBrowser::getXmlIndex(const std::string& name)
{
    if (const auto* record = m_collection.find(catalog::catalogKeyOf(name)))
        return record->TreeIndex();
    app::ShowMsg(
        m_box, "取出指定文件的集合索引时出错！", 0, "没有载入名为“" + name + "”的目录。", "frmMain-getXmlIndex");
    return -1;
}

bool CatalogBrowser::ifXmlLoaded(const std::string& name) const
{
    return m_collection.find(catalog::catalogKeyOf(name)) != nullptr;
}

bool CatalogBrowser::removeCatalog(const std::string& name)
{
    const std::string key = catalog::catalogKeyOf(name);
    const auto* record = m_collection.find(key);
    if (record == nullptr)
        return false;
    if (m_tree.contains(record->TreeIndex()))
        m_tree.removeRoot(record->TreeIndex());
    m_collection.remove(key);
    return true;
}

// Walks the element's subtree with its own stack: catalogs can nest deeper than the call stack
// could follow. Nodes are created in the order the recursive filling would create them.
NodeId CatalogBrowser::AddNode(const pugi::xml_node& element, NodeId parent)
{
    struct Pending {
        pugi::xml_node element;
        NodeId parent;
    };
    NodeId result = kNoNode;
    bool rootOpen = false;
    bool reported = false;
    std::vector<Pending> pending { { element, parent } };
    std::vector<pugi::xml_node> children;
    while (!pending.empty()) {
        const Pending item = pending.back();
        pending.pop_back();
        NodeId node = kNoNode;
        if (item.parent == kNoNode) {
            node = m_tree.beginRoot();
            rootOpen = true;
            result = node;
        } else {
            node = m_tree.addChild(item.parent);
        }
        const auto label = item.element ? labelOf(item.element) : std::nullopt;
        if (!label) {
            // A damaged twin can hold any number of faulty elements: the first one is reported,
            // once per filling, instead of one modal box per element.
            if (!reported) {
                const std::string what = item.element ? "元素“" + std::string(item.element.name()) + "”没有属性。"
                                                      : std::string("目录文件没有根元素。");
                app::ShowMsg(m_box, "添加XML内容到树时出错！", 0, what, "frmMain-AddNode");
                reported = true;
            }
            continue; // this element's subtree is lost, the rest of the catalog is not
        }
        m_tree.setLabel(node, *label);
        children.clear();
        for (auto child = item.element.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element || std::distance(child.begin(), child.end()) >= 2)
                children.push_back(child);
        }
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back({ *child, node });
    }
    if (rootOpen)
        m_tree.endRoot();
    return parent == kNoNode ? result : kNoNode;
}

std::string getParentNode(const CatalogTree& tree, NodeId node, std::string& catalogName)
{
    if (!tree.contains(node))
        return {};
    std::string path(catalog::kDiskElement);
    std::size_t depth = 0;
    NodeId root = node;
    while (tree.parent(root) != kNoNode) {
        root = tree.parent(root);
        ++depth;
    }
    for (std::size_t i = 0; i < depth; ++i) {
        path += '/';
        path += catalog::kDirectoryElement;
    }
    catalogName = tree.label(root);
    return path;
}

} // namespace mellowby::browse
