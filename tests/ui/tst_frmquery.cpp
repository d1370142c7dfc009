#include "fakeprogram.h"

#include <filesystem>
#include <memory>

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "support/catalogmaker.h"
#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/frmmain.h"
#include "ui/frmquery.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

namespace {

QStringList row(const QAbstractItemModel* model, int at)
{
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(at, column).data().toString();
    return cells;
}

QStringList column(const QAbstractItemModel* model, int col)
{
    QStringList texts;
    for (int at = 0; at < model->rowCount(); ++at)
        texts << model->index(at, col).data().toString();
    return texts;
}

} // namespace

// The advanced find, opened from the main window's Tools menu over real catalogs, listing what it
// finds in the main window's file list.
class TestFrmQuery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<tests::TemporaryFolder>();
        std::filesystem::create_directories(disc() / "trip");
        tests::writeFile((disc() / "trip" / "a.jpg").string(), "jpeg");
        using tests::CatalogMaker;
        CatalogMaker maker(dataDir());
        maker.setRoot(disc().string());
        maker.directory(
            "", { CatalogMaker::file("beach.JPG", 5000), CatalogMaker::file("readme.txt"), CatalogMaker::dir("trip") });
        maker.directory("trip", { CatalogMaker::file("a.jpg") });
        QVERIFY(maker.write("Photos"));
        maker.reset();
        maker.setRoot("/media/cd2");
        maker.directory("", { CatalogMaker::file("cover.jpg"), CatalogMaker::file("song.mp3", 4096) });
        QVERIFY(maker.write("Music"));

        m_program = std::make_unique<tests::FakeProgram>(m_folder->path());
        m_window = std::make_unique<frmMain>(m_program->context);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->findChild<QAction*>(u"mnuToolsQuery"_s)->trigger();
        m_query = m_window->findChild<frmQuery*>();
        QVERIFY(m_query != nullptr && m_query->isVisible());
    }

    void cleanup()
    {
        m_window.reset();
        m_program.reset();
        m_folder.reset();
    }

    void findsRowsWithTheColumnsOfTheFindPanel()
    {
        QCOMPARE(m_query->windowTitle(), u"高级查找"_s);
        QCOMPARE(child<QPushButton>(u"cmdQuery"_s)->text(), u"查找(&F)"_s);
        QVERIFY(child<QLabel>(u"lblSyntax"_s)->text().contains(u"size:>700mb"_s));
        find(u"(ext:jpg size:>4kb) | song"_s);
        const QAbstractItemModel* model = list()->model();
        // Catalogs in the order the window loaded them, each in document order.
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(row(model, 0),
            (QStringList { u"song.mp3"_s, u"4KB"_s, u"2004年3月15日"_s, u"/media/cd2/song.mp3"_s, u"Music"_s }));
        QCOMPARE(row(model, 1).at(0), u"beach.JPG"_s);
        QCOMPARE(row(model, 1).at(4), u"Photos"_s);
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), u"所在位置"_s);
        QVERIFY(!child<QLabel>(u"lblFault"_s)->isVisible());

        // The header sorts them, as it sorts a search's rows.
        QHeaderView* header = list()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
        QCOMPARE(column(model, 0), (QStringList { u"beach.JPG"_s, u"song.mp3"_s }));
        QVERIFY(header->isSortIndicatorShown());
        QVERIFY(m_program->box.shown.empty());
    }

    void aQueryThatCannotBeReadIsSaidInTheDialog()
    {
        find(u"jpg"_s);
        find(u"a (b"_s);
        const QLabel* fault = child<QLabel>(u"lblFault"_s);
        QVERIFY(fault->isVisible());
        QCOMPARE(fault->text(), u"查询有误，第 5 列：缺少与第 3 列的“(”配对的“)”。"_s);
        QCOMPARE(list()->model()->rowCount(), 3); // the rows of the last query stay
        QVERIFY(m_program->box.shown.empty());
        find(u"folder:"_s);
        QVERIFY(!fault->isVisible());
        QCOMPARE(column(list()->model(), 3), (QStringList { QString::fromStdString((disc() / "trip").string()) }));
    }

    void theCurrentCatalogOnly()
    {
        // Start-up listed the first catalog, Music.
        child<QCheckBox>(u"chkAllCatalogs"_s)->setChecked(false);
        find(u"jpg"_s);
        QCOMPARE(column(list()->model(), 0), (QStringList { u"cover.jpg"_s }));
        // The menu shows the same dialog again, with its query.
        m_window->findChild<QAction*>(u"mnuToolsQuery"_s)->trigger();
        QCOMPARE(m_window->findChildren<frmQuery*>().size(), 1);
        QCOMPARE(child<QLineEdit>(u"txtQuery"_s)->text(), u"jpg"_s);
    }

    void doubleClickOpensTheRowsFile()
    {
        find(u"path:trip"_s);
        QCOMPARE(list()->model()->rowCount(), 1);
        const QModelIndex first = list()->model()->index(0, 0);
        list()->selectionModel()->setCurrentIndex(
            first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(first).center());
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(first).center());
        QVERIFY(m_program->box.shown.empty());
        QCOMPARE(m_program->opener.opened.size(), 1u);
        QCOMPARE(m_program->opener.opened[0].target, (disc() / "trip" / "a.jpg").string());
    }

private:
    void find(const QString& query)
    {
        child<QLineEdit>(u"txtQuery"_s)->setText(query);
        QTest::mouseClick(child<QPushButton>(u"cmdQuery"_s), Qt::LeftButton);
    }

    template <typename Widget> Widget* child(const QString& name) const
    {
        auto* found = m_query->findChild<Widget*>(name);
        if (found == nullptr)
            qFatal("no child %s", qPrintable(name));
        return found;
    }

    QTableView* list() const { return m_window->findChild<QTableView*>(u"listVDir"_s); }
    std::string dataDir() const { return *m_folder / "Data"; }
    std::filesystem::path disc() const { return std::filesystem::path(m_folder->path()) / "disc"; }

    std::unique_ptr<tests::TemporaryFolder> m_folder;
    std::unique_ptr<tests::FakeProgram> m_program;
    std::unique_ptr<frmMain> m_window;
    frmQuery* m_query = nullptr;
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmQuery)
#include "tst_frmquery.moc"
