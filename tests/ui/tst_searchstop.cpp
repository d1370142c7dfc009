// A long search in the main window: stopped by Esc, by a new search or by closing the window,
// with the rows found so far kept, and the rest of the window closed to input meanwhile.

#include "fakeprogram.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "support/catalogmaker.h"
#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/frmmain.h"
#include "ui/frmquery.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;

namespace {

// Enough hits for many batches of rows, so that a search is still running when the window first
// takes input.
constexpr int kFolders = 8;
constexpr int kFilesPerFolder = 5000;

QStringList column(const QAbstractItemModel* model, int col)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, col).data().toString();
    return texts;
}

} // namespace

class TestSearchStop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_folder = std::make_unique<tests::TemporaryFolder>();
        tests::CatalogMaker maker(*m_folder / "Data");
        std::vector<platform::DirEntry> folders;
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::string name = "f" + std::to_string(folder);
            folders.push_back(tests::CatalogMaker::dir(name));
            std::vector<platform::DirEntry> files;
            for (int file = 0; file < kFilesPerFolder; ++file)
                files.push_back(tests::CatalogMaker::file("photo" + std::to_string(file) + ".jpg"));
            files.push_back(tests::CatalogMaker::file("rare" + std::to_string(folder) + ".txt"));
            maker.directory(name, std::move(files));
        }
        maker.directory("", std::move(folders));
        QVERIFY(maker.write("Big"));
    }

    void init()
    {
        m_program = std::make_unique<tests::FakeProgram>(m_folder->path());
        m_window = std::make_unique<frmMain>(m_program->context);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // The first search of a catalog makes its names index; the tests time the ones after.
        search(u"rare"_s);
        QCOMPARE(list()->model()->rowCount(), kFolders);
    }

    void cleanup()
    {
        m_window.reset();
        m_program.reset();
    }

    void cleanupTestCase() { m_folder.reset(); }

    void escapeStopsTheSearchAndKeepsTheRowsFound()
    {
        const QModelIndex root = tree()->model()->index(0, 0);
        tree()->expand(root);
        const QModelIndex current = tree()->currentIndex();
        QVERIFY(current != tree()->model()->index(0, 0, root));
        QTimer::singleShot(0, m_window.get(), [this, root] {
            // The rest of the window takes no input while the search runs: no click on the tree.
            const QModelIndex folder = tree()->model()->index(0, 0, root);
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(folder).center());
            QTest::keyClick(list(), Qt::Key_Escape);
        });
        search(u"photo"_s);
        const QStringList names = column(list()->model(), 0);
        QVERIFY(!names.isEmpty());
        QVERIFY(names.size() < kFolders * kFilesPerFolder);
        QCOMPARE(names.first(), u"photo0.jpg"_s);
        QCOMPARE(names.last(), u"photo"_s + QString::number((names.size() - 1) % kFilesPerFolder) + u".jpg"_s);
        QCOMPARE(tree()->currentIndex(), current);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // Esc when no search runs stops nothing later.
        QTest::keyClick(list(), Qt::Key_Escape);
        search(u"photo"_s);
        QCOMPARE(list()->model()->rowCount(), kFolders * kFilesPerFolder);
    }

    void aNewSearchStopsTheOneRunningAndListsItsOwnRows()
    {
        QTimer::singleShot(0, m_window.get(), [this] {
            child<QLineEdit>(u"txtFind"_s)->setText(u"RARE3"_s);
            QTest::mouseClick(child<QPushButton>(u"cmdFind"_s), Qt::LeftButton);
        });
        search(u"photo"_s);
        QCOMPARE(column(list()->model(), 0), (QStringList { u"rare3.txt"_s }));
        QCOMPARE(column(list()->model(), 3), (QStringList { u"/media/cdrom/f3/rare3.txt"_s }));
    }

    // The advanced find lists in the same list: its query stops the search and lists its rows, and
    // Esc stops a query as it stops a search.
    void aQueryStopsTheSearchRunningAndIsStoppedByEsc()
    {
        child<QAction>(u"mnuToolsQuery"_s)->trigger();
        auto* query = m_window->findChild<frmQuery*>();
        QVERIFY(query != nullptr);
        QTimer::singleShot(0, m_window.get(), [query] {
            query->findChild<QLineEdit*>(u"txtQuery"_s)->setText(u"rare3 ext:txt"_s);
            QTest::mouseClick(query->findChild<QPushButton*>(u"cmdQuery"_s), Qt::LeftButton);
        });
        search(u"photo"_s);
        QCOMPARE(column(list()->model(), 3), (QStringList { u"/media/cdrom/f3/rare3.txt"_s }));

        QTimer::singleShot(0, m_window.get(), [this] { QTest::keyClick(list(), Qt::Key_Escape); });
        query->findChild<QLineEdit*>(u"txtQuery"_s)->setText(u"photo ext:jpg"_s);
        QTest::mouseClick(query->findChild<QPushButton*>(u"cmdQuery"_s), Qt::LeftButton);
        const int found = list()->model()->rowCount();
        QVERIFY(found > 0 && found < kFolders * kFilesPerFolder);
    }

    void closingTheWindowStopsTheSearchFirst()
    {
        QTimer::singleShot(0, m_window.get(), [this] { m_window->close(); });
        search(u"photo"_s);
        QVERIFY(m_window->isVisible());
        QTRY_VERIFY(!m_window->isVisible());
        QVERIFY(list()->model()->rowCount() < kFolders * kFilesPerFolder);
    }

private:
    template <typename Widget> Widget* child(const QString& name) const
    {
        auto* found = m_window->findChild<Widget*>(name);
        if (found == nullptr)
            qFatal("no child %s", qPrintable(name));
        return found;
    }

    QTreeView* tree() const { return child<QTreeView>(u"treeDisk"_s); }
    QTableView* list() const { return child<QTableView>(u"listVDir"_s); }

    void search(const QString& text)
    {
        if (!m_window->findPanelShown())
            child<QAction>(u"mnuEditFind"_s)->trigger();
        child<QLineEdit>(u"txtFind"_s)->setText(text);
        child<QCheckBox>(u"chkIfFindAllXml"_s)->setChecked(true);
        QTest::mouseClick(child<QPushButton>(u"cmdFind"_s), Qt::LeftButton);
    }

    std::unique_ptr<tests::TemporaryFolder> m_folder;
    std::unique_ptr<tests::FakeProgram> m_program;
    std::unique_ptr<frmMain> m_window;
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestSearchStop)
#include "tst_searchstop.moc"
