#include <QAbstractItemModelTester>
#include <QTest>

#include "browse/catalogtree.h"
#include "search/filelist.h"
#include "support/qtestmain.h"
#include "ui/catalogtreemodel.h"
#include "ui/filelistmodel.h"

namespace mellowby::ui {

namespace {

browse::NodeId addCatalog(browse::CatalogTree& tree, const std::string& name, const std::vector<std::string>& dirs)
{
    const browse::NodeId root = tree.beginRoot();
    tree.setLabel(root, name);
    for (const auto& dir : dirs)
        tree.setLabel(tree.addChild(root), dir);
    tree.endRoot();
    return root;
}

QStringList column(const QAbstractItemModel& model, int col)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, col).data().toString();
    return texts;
}

} // namespace

using namespace Qt::StringLiterals;

class TestModels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void treeFollowsCatalogsComingAndGoing()
    {
        browse::CatalogTree tree;
        CatalogTreeModel model(tree);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        const browse::NodeId a = addCatalog(tree, "a", { "x", "y" });
        const browse::NodeId b = addCatalog(tree, "b", {});
        const browse::NodeId c = addCatalog(tree, "c", { "z" });
        QCOMPARE(column(model, 0), (QStringList { u"a"_s, u"b"_s, u"c"_s }));
        QCOMPARE(model.rowCount(model.indexOf(a)), 2);
        QCOMPARE(model.index(1, 0, model.indexOf(a)).data().toString(), u"y"_s);

        tree.removeRoot(b);
        QCOMPARE(column(model, 0), (QStringList { u"a"_s, u"c"_s }));
        // Indexes keep naming their nodes after a sibling left.
        QCOMPARE(model.nodeAt(model.index(1, 0)), c);
        QCOMPARE(model.indexOf(c).row(), 1);
        QVERIFY(!model.indexOf(b).isValid());

        addCatalog(tree, "b", { "w" });
        QCOMPARE(column(model, 0), (QStringList { u"a"_s, u"c"_s, u"b"_s }));
        tree.removeRoot(a);
        QCOMPARE(column(model, 0), (QStringList { u"c"_s, u"b"_s }));
    }

    void selectedNodeShowsTheOpenFolder()
    {
        browse::CatalogTree tree;
        CatalogTreeModel model(tree);
        addCatalog(tree, "a", {});
        const auto icon = model.index(0, 0).data(Qt::DecorationRole).value<QIcon>();
        const QImage closed = icon.pixmap(16, QIcon::Normal).toImage();
        const QImage open = icon.pixmap(16, QIcon::Selected).toImage();
        QVERIFY(!closed.isNull());
        QVERIFY(!open.isNull());
        QVERIFY(closed != open);
    }

    void fileListFollowsFillsAndSorting()
    {
        search::FileList list;
        FileListModel model(list);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        list.clear();
        list.appendRow("b.jpg", "2KB", "2004年3月15日", "/media/cdrom/", "");
        list.appendRow("a.txt", "1KB", "2004年3月16日", "/media/cdrom/old/", "Photos");
        list.finishFill();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(1, 1).data().toString(), u"1KB"_s);
        QCOMPARE(model.index(1, 2).data().toString(), u"2004年3月16日"_s);
        QCOMPARE(model.index(1, 3).data().toString(), u"/media/cdrom/old/a.txt"_s);
        QCOMPARE(model.index(1, 4).data().toString(), u"Photos"_s);

        list.columnClick(1);
        QCOMPARE(column(model, 0), (QStringList { u"a.txt"_s, u"b.jpg"_s }));

        // More rows than one batch arrive as several insertions.
        list.clear();
        const std::size_t many = search::FileList::kAppendBatch * 2 + 7;
        for (std::size_t i = 0; i < many; ++i)
            list.appendRow("f" + std::to_string(i), "1KB", "", "/", "");
        list.finishFill();
        QCOMPARE(static_cast<std::size_t>(model.rowCount()), many);

        list.clear();
        QCOMPARE(model.rowCount(), 0);
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestModels)
#include "tst_models.moc"
