#include <gtest/gtest.h>

#include "browse/catalogcollection.h"
#include "browse/catalogtree.h"

namespace mellowby::browse {
namespace {

class RecordingObserver final : public CatalogTreeObserver {
public:
    void beginAddRoot(std::size_t row) override { events.push_back("add " + std::to_string(row)); }
    void endAddRoot() override { events.emplace_back("added"); }
    void beginRemoveRoot(std::size_t row) override { events.push_back("remove " + std::to_string(row)); }
    void endRemoveRoot() override { events.emplace_back("removed"); }
    void selectionChanged(NodeId node) override { events.push_back("select " + std::to_string(node)); }
    std::vector<std::string> events;
};

NodeId addCatalog(CatalogTree& tree, const std::string& label, int children)
{
    const NodeId root = tree.beginRoot();
    tree.setLabel(root, label);
    for (int i = 0; i < children; ++i)
        tree.setLabel(tree.addChild(root), label + std::to_string(i));
    tree.endRoot();
    return root;
}

TEST(CatalogTree, IndexesStayValidAndAreNeverReused)
{
    CatalogTree tree;
    RecordingObserver observer;
    tree.setObserver(&observer);
    const NodeId a = addCatalog(tree, "a", 2);
    const NodeId b = addCatalog(tree, "b", 1);
    const NodeId c = addCatalog(tree, "c", 0);
    tree.select(tree.children(b)[0]);

    tree.removeRoot(b);
    EXPECT_FALSE(tree.contains(b));
    EXPECT_EQ(tree.selectedNode(), kNoNode); // the selection went with its catalog
    EXPECT_EQ(tree.roots(), (std::vector<NodeId> { a, c }));
    EXPECT_EQ(tree.row(c), 1u);
    EXPECT_EQ(tree.label(c), "c");

    const NodeId again = addCatalog(tree, "b", 1);
    EXPECT_EQ(again, 7); // b's old indexes are not handed out again
    tree.removeRoot(a);
    EXPECT_EQ(tree.label(c), "c");
    EXPECT_EQ(tree.row(again), 1u);
    EXPECT_EQ(tree.label(tree.children(again)[0]), "b0");
    EXPECT_EQ(observer.events,
        (std::vector<std::string> { "add 0", "added", "add 1", "added", "add 2", "added", "select 5", "remove 1",
            "removed", "add 2", "added", "remove 0", "removed" }));
}

TEST(CatalogCollection, KeysIgnoreCaseAndOrderFollowsInsertion)
{
    CatalogCollection collection;
    for (const char* name : { "a", "Straße", "c" }) {
        app::clsXmlFile record;
        record.setFileName(name);
        EXPECT_TRUE(collection.add(record));
    }
    app::clsXmlFile duplicate;
    duplicate.setFileName("A");
    EXPECT_FALSE(collection.add(duplicate));
    ASSERT_NE(collection.find("STRASSE"), nullptr);
    EXPECT_EQ(collection.find("STRASSE")->FileName(), "Straße");
    EXPECT_TRUE(collection.remove("A"));
    EXPECT_EQ(collection.count(), 2u);
    EXPECT_EQ(collection.at(0).FileName(), "Straße");
    EXPECT_EQ(collection.find("c"), &collection.at(1));
    EXPECT_FALSE(collection.remove("zz"));
}

} // namespace
} // namespace mellowby::browse
