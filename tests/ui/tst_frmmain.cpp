#include "fakeprogram.h"

#include <filesystem>
#include <memory>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "fakes/fakemessagebox.h"
#include "support/catalogmaker.h"
#include "support/qtestmain.h"
#include "support/temporaryfolder.h"
#include "ui/frmmain.h"

namespace mellowby::ui {

using namespace Qt::StringLiterals;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageRequest;

namespace {

QStringList column(const QAbstractItemModel* model, int col)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, col).data().toString();
    return texts;
}

QStringList sorted(QStringList texts)
{
    texts.sort();
    return texts;
}

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<tests::TemporaryFolder>();
        std::filesystem::create_directory(dataDir());
    }

    void cleanup()
    {
        m_window.reset();
        m_program.reset();
        m_folder.reset();
    }

    void startUpListsTheFirstCatalog()
    {
        addTwoCatalogs();
        QWidget splash;
        splash.show();
        open(&splash);

        QVERIFY(!splash.isVisible());
        QCOMPARE(column(tree()->model(), 0), (QStringList { u"Music"_s, u"Photos"_s }));
        QCOMPARE(sorted(column(list()->model(), 0)), (QStringList { u"alpha.txt"_s, u"cover.jpg"_s, u"song.mp3"_s }));
        QCOMPARE(m_window->browser().currentCatalogName(), "Music");
        // The node the list shows is the one the tree shows selected.
        QCOMPARE(tree()->selectionModel()->selectedIndexes(), QModelIndexList { tree()->model()->index(0, 0) });
        QVERIFY(m_program->box.shown.empty());
    }

    void clickingANodeListsItsFiles()
    {
        addTwoCatalogs();
        open();
        const QModelIndex photos = tree()->model()->index(1, 0);
        click(photos);
        QCOMPARE(sorted(column(list()->model(), 0)), (QStringList { u"beach.JPG"_s, u"readme.txt"_s }));
        QCOMPARE(m_window->browser().currentCatalogName(), "Photos");

        tree()->expand(photos);
        const QModelIndex trip = tree()->model()->index(0, 0, photos);
        QCOMPARE(trip.data().toString(), u"trip"_s);
        click(trip);
        QCOMPARE(sorted(column(list()->model(), 0)), (QStringList { u"a.jpg"_s, u"notes.txt"_s }));

        // A click on the node already selected lists it again, after a search replaced the rows.
        search(u"song"_s, true);
        QCOMPARE(column(list()->model(), 0), (QStringList { u"song.mp3"_s }));
        click(trip);
        QCOMPARE(sorted(column(list()->model(), 0)), (QStringList { u"a.jpg"_s, u"notes.txt"_s }));
    }

    // The tree's click runs on every click: on blank space and on an expand arrow too, each
    // listing the selected node again, which a click on blank space keeps selected.
    void everyClickOnTheTreeListsTheSelectedNode()
    {
        addTwoCatalogs();
        open();
        const QModelIndex music = tree()->model()->index(0, 0);
        const QModelIndex photos = tree()->model()->index(1, 0);
        click(photos);
        const QStringList photosFiles { u"beach.JPG"_s, u"readme.txt"_s };
        QCOMPARE(sorted(column(list()->model(), 0)), photosFiles);

        search(u"song"_s, true);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, QPoint(5, tree()->viewport()->height() - 5));
        QCOMPARE(tree()->selectionModel()->selectedIndexes(), QModelIndexList { photos });
        QCOMPARE(sorted(column(list()->model(), 0)), photosFiles);

        search(u"song"_s, true);
        const QRect musicRect = tree()->visualRect(music);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
            QPoint(musicRect.left() - tree()->indentation() / 2, musicRect.center().y()));
        QVERIFY(tree()->isExpanded(music));
        QCOMPARE(tree()->selectionModel()->selectedIndexes(), QModelIndexList { photos });
        QCOMPARE(sorted(column(list()->model(), 0)), photosFiles);
        QCOMPARE(m_window->browser().currentCatalogName(), "Photos");

        // A double click (a click, then a press, the double-click event and a release) lists once.
        QSignalSpy listings(list()->model(), &QAbstractItemModel::modelReset);
        click(music);
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(music).center());
        QCOMPARE(listings.count(), 1);
        QCOMPARE(m_window->browser().currentCatalogName(), "Music");
        QVERIFY(m_program->box.shown.empty());
    }

    void replacedCatalogMovesToTheEnd()
    {
        addTwoCatalogs();
        open();
        QAbstractItemModelTester treeTester(tree()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester listTester(list()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(m_window->browser().AddXmlToTree("Music"));
        QCOMPARE(column(tree()->model(), 0), (QStringList { u"Photos"_s, u"Music"_s }));
        click(tree()->model()->index(1, 0));
        QCOMPARE(list()->model()->rowCount(), 3);
    }

    void menusAndCaptions()
    {
        open();
        QCOMPARE(m_window->windowTitle(), u"Mellowby"_s);
        QStringList menus;
        for (const QAction* menu : m_window->menuBar()->actions())
            menus << menu->text() + u' ' + items(menu->menu());
        QCOMPARE(menus,
            (QStringList { u"文件(&F) mnuFileClose:关闭(&X)"_s,
                u"编辑(&E) mnuEditCreat:创建目录(&C) mnuEditDele:删除目录(&D) mnuEditSpc1:- mnuEditFind:查找文件(&F)"_s,
                u"工具(&T) mnuToolsQuery:高级查找(&A)… mnuToolsVerify:校验光盘(&V)…"_s,
                u"帮助(&H) mnuHelpTopic:主题(&T) mnuHelpAbout:关于(&A)"_s }));

        const QStringList captions { child<QGroupBox>(u"frameFind"_s)->title(), child<QLabel>(u"Label1"_s)->text(),
            child<QLabel>(u"Label2"_s)->text(), child<QCheckBox>(u"chkIfFindAllXml"_s)->text(),
            child<QPushButton>(u"cmdFind"_s)->text() };
        QCOMPARE(captions,
            (QStringList { u"文件查找"_s, u"查找内容："_s, u"文件名称部分内容，包括扩展名"_s, u"查找所有打开文件"_s,
                u"查找(&F)"_s }));
        QStringList headers;
        for (int section = 0; section < list()->model()->columnCount(); ++section)
            headers << list()->model()->headerData(section, Qt::Horizontal).toString() + u' '
                    + QString::number(list()->columnWidth(section));
        QCOMPARE(headers,
            (QStringList { u"名称 300"_s, u"大小 80"_s, u"创建时间 100"_s, u"所在位置 200"_s, u"所在文件 60"_s }));

        child<QAction>(u"mnuFileClose"_s)->trigger();
        QVERIFY(!m_window->isVisible());
    }

    void findPanelToggleAndLayout()
    {
        open();
        auto* frame = child<QGroupBox>(u"frameFind"_s);
        auto* all = child<QCheckBox>(u"chkIfFindAllXml"_s);
        QCOMPARE(m_window->centralWidget()->size(), QSize(630, 434));
        QVERIFY(frame->isHidden());
        QVERIFY(!all->isChecked());
        QCOMPARE(tree()->geometry(), QRect(10, 10, 201, 414));
        QCOMPARE(list()->geometry(), QRect(221, 10, 399, 414));

        toggleFindPanel();
        QVERIFY(frame->isVisible());
        QVERIFY(m_window->findPanelShown());
        QVERIFY(all->isChecked());
        QCOMPARE(frame->geometry(), QRect(10, 10, 201, 129));
        QCOMPARE(tree()->geometry(), QRect(10, 149, 201, 285));
        QCOMPARE(list()->geometry(), QRect(221, 10, 399, 414));

        all->setChecked(false);
        toggleFindPanel();
        QVERIFY(frame->isHidden());
        QVERIFY(!m_window->findPanelShown());
        QCOMPARE(tree()->geometry(), QRect(10, 10, 201, 414));
        toggleFindPanel();
        QVERIFY(all->isChecked());

        // Every resize lays the controls out again.
        const QSize frameSize = m_window->size() - m_window->centralWidget()->size();
        m_window->resize(QSize(800, 500) + frameSize);
        QTRY_COMPARE(m_window->centralWidget()->size(), QSize(800, 500));
        QCOMPARE(tree()->geometry(), QRect(10, 149, 201, 351));
        QCOMPARE(list()->geometry(), QRect(221, 10, 569, 480));
    }

    void searchInOneAndInAllCatalogs()
    {
        addTwoCatalogs();
        open();
        search(u" JPG "_s, false);
        QCOMPARE(column(list()->model(), 0), (QStringList { u"cover.jpg"_s }));
        QCOMPARE(column(list()->model(), 4), (QStringList { u"Music"_s }));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        search(u"jpg"_s, true);
        QCOMPARE(sorted(column(list()->model(), 0)), (QStringList { u"a.jpg"_s, u"beach.JPG"_s, u"cover.jpg"_s }));
        QCOMPARE(sorted(column(list()->model(), 4)), (QStringList { u"Music"_s, u"Photos"_s, u"Photos"_s }));
        QVERIFY(m_program->box.shown.empty());

        search(u"   "_s, true);
        QCOMPARE(m_program->box.shown,
            (std::vector<MessageRequest> {
                { "请输入要查找文件的名字内容！", "查找文件", MessageIcon::Warning, MessageButtons::Ok } }));
        QCOMPARE(list()->model()->rowCount(), 3);
    }

    void emptyDataFolder()
    {
        open();
        QCOMPARE(tree()->model()->rowCount(), 0);
        QCOMPARE(list()->model()->rowCount(), 0);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        search(u"jpg"_s, true);
        QVERIFY(m_program->box.shown.empty());

        // Nothing has been listed, so there is no current catalog to search.
        search(u"jpg"_s, false);
        QCOMPARE(m_program->box.shown,
            (std::vector<MessageRequest> { { "请先选则一个文件后再进行查找！\r\n错误描述：查找文件", "Quillon",
                MessageIcon::Warning, MessageButtons::Ok } }));
    }

    void headerClickSortsAndSortingStaysOn()
    {
        addTwoCatalogs();
        open();
        QCOMPARE(column(list()->model(), 0), (QStringList { u"cover.jpg"_s, u"song.mp3"_s, u"alpha.txt"_s }));
        clickHeader(0);
        QCOMPARE(column(list()->model(), 0), (QStringList { u"alpha.txt"_s, u"cover.jpg"_s, u"song.mp3"_s }));
        QCOMPARE(list()->horizontalHeader()->sortIndicatorSection(), 0);
        QCOMPARE(list()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        clickHeader(0);
        QCOMPARE(column(list()->model(), 0), (QStringList { u"song.mp3"_s, u"cover.jpg"_s, u"alpha.txt"_s }));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        click(tree()->model()->index(1, 0));
        QCOMPARE(column(list()->model(), 0), (QStringList { u"readme.txt"_s, u"beach.JPG"_s }));
    }

    void deleteCommandAsksAndRemovesTheCurrentCatalog()
    {
        addTwoCatalogs();
        qputenv("HOME", QByteArray::fromStdString(m_folder->path()));
        open();
        m_program->box.queueAnswer(platform::MessageAnswer::Yes);
        child<QAction>(u"mnuEditDele"_s)->trigger();
        QCOMPARE(m_program->box.shown.at(0).text, std::string("你确定要删除Music名称的磁盘目录文件吗？"));
        QCOMPARE(column(tree()->model(), 0), (QStringList { u"Photos"_s }));
        QCOMPARE(list()->model()->rowCount(), 0);
        QVERIFY(!std::filesystem::exists(dataDir() + "/Music.xml"));
    }

    void doubleClickOpensTheSelectedRow()
    {
        addTwoCatalogs();
        open();
        const QModelIndex row = list()->model()->index(0, 0);
        list()->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        // A double-click is a press and release followed by the double-click event.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(row).center());
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(row).center());
        // The catalogued disc is not on this machine.
        QCOMPARE(m_program->box.shown.size(), 1u);
        QCOMPARE(m_program->box.shown[0].text, std::string("当前文件不存，请检查！"));
        QVERIFY(m_program->opener.opened.empty());
    }

    void helpTopicWithoutTheHelpFile()
    {
        open();
        child<QAction>(u"mnuHelpTopic"_s)->trigger();
        QCOMPARE(m_program->box.shown.size(), 1u);
        QCOMPARE(m_program->box.shown[0].title, std::string("Mellowby"));
    }

private:
    // Music: three files at its root and one folder; Photos: two files, a folder with two files
    // and an empty one.
    void addTwoCatalogs()
    {
        using tests::CatalogMaker;
        CatalogMaker maker(dataDir());
        maker.directory("",
            { CatalogMaker::file("beach.JPG"), CatalogMaker::file("readme.txt"), CatalogMaker::dir("trip"),
                CatalogMaker::dir("old") });
        maker.directory("trip", { CatalogMaker::file("a.jpg"), CatalogMaker::file("notes.txt") });
        maker.directory("old", {});
        QVERIFY(maker.write("Photos"));
        maker.reset();
        maker.setRoot("/media/cd2");
        maker.directory("",
            { CatalogMaker::file("cover.jpg"), CatalogMaker::file("song.mp3", 4096), CatalogMaker::file("alpha.txt"),
                CatalogMaker::dir("live") });
        maker.directory("live", { CatalogMaker::file("concert.MP3") });
        QVERIFY(maker.write("Music"));
    }

    void open(QWidget* splash = nullptr)
    {
        m_program = std::make_unique<tests::FakeProgram>(m_folder->path());
        m_window = std::make_unique<frmMain>(m_program->context, splash);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    template <typename Widget> Widget* child(const QString& name) const
    {
        auto* found = m_window->findChild<Widget*>(name);
        if (found == nullptr)
            qFatal("no child %s", qPrintable(name));
        return found;
    }

    QTreeView* tree() const { return child<QTreeView>(u"treeDisk"_s); }
    QTableView* list() const { return child<QTableView>(u"listVDir"_s); }

    static QString items(const QMenu* menu)
    {
        QStringList texts;
        for (const QAction* item : menu->actions())
            texts << item->objectName() + u':' + (item->isSeparator() ? u"-"_s : item->text());
        return texts.join(u' ');
    }

    void click(const QModelIndex& index)
    {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(index).center());
    }

    void clickHeader(int section)
    {
        QHeaderView* header = list()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + 10, header->height() / 2));
    }

    void toggleFindPanel() { child<QAction>(u"mnuEditFind"_s)->trigger(); }

    void search(const QString& text, bool allCatalogs)
    {
        if (!m_window->findPanelShown())
            toggleFindPanel();
        child<QLineEdit>(u"txtFind"_s)->setText(text);
        child<QCheckBox>(u"chkIfFindAllXml"_s)->setChecked(allCatalogs);
        QTest::mouseClick(child<QPushButton>(u"cmdFind"_s), Qt::LeftButton);
    }

    std::string dataDir() const { return *m_folder / "Data"; }

    std::unique_ptr<tests::TemporaryFolder> m_folder;
    std::unique_ptr<tests::FakeProgram> m_program;
    std::unique_ptr<frmMain> m_window;
};

} // namespace mellowby::ui

MELLOWBY_QTEST_MAIN(mellowby::ui::TestFrmMain)
#include "tst_frmmain.moc"
