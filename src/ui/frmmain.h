#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QMainWindow>
#include <QPointer>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "names/namesindexcache.h"
#include "search/filelist.h"

class QAction;
class QCloseEvent;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTableView;
class QTreeView;

namespace mellowby::ui {

class CatalogTreeModel;
class FileListModel;
class frmQuery;
struct ProgramContext;

// The main window: the catalog tree on the left, the file list on the right, the find panel above
// the tree while it is shown. It owns the loaded catalogs and the listed rows; the boxes it shows
// go through the given message box, which must outlive it.
class frmMain final : public QMainWindow {
    Q_OBJECT

public:
    // Loads every catalog of dataDir before returning, and then closes splash (when given), so the
    // window is filled when it is first shown.
    // The context (its message box, services, settings and drives) must outlive the window.
    explicit frmMain(ProgramContext& context, QWidget* splash = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    browse::CatalogBrowser& browser() { return m_browser; }
    const search::FileList& fileList() const { return m_list; }
    bool findPanelShown() const { return m_findPanelShown; }

    void ArrangeControls();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createControls();
    void resizeToClientArea(int width, int height);

    void Form_Load(const QPointer<QWidget>& splash);
    void SetListColumns();
    void treeDisk_Click();
    void treeDisk_SelectionChanged();
    void followLogicSelection(const QModelIndex& index);
    void listVDir_ColumnClick(int section);
    void mnuEditFind_Click();
    void cmdFind_Click();
    // Fills the list as a search does (see m_nextFill); a fill asked for while one runs stops that
    // one and follows it.
    void fillList(std::function<void()> fill);
    std::optional<std::string> queryToList(const std::string& query, bool allCatalogs);
    void mnuEditCreat_Click();
    void mnuEditDele_Click();
    void mnuToolsQuery_Click();
    void mnuToolsVerify_Click();
    void listVDir_DblClick();

    ProgramContext& m_context;
    catalog::CatalogStore m_store;
    names::NamesIndexCache m_indexes;
    browse::CatalogBrowser m_browser;
    search::FileList m_list;
    // Declared after what they show, so they let go of it before it is destroyed; the views are
    // destroyed before them (see the destructor).
    std::unique_ptr<CatalogTreeModel> m_treeModel;
    std::unique_ptr<FileListModel> m_listModel;

    // Owned by the window through their Qt parents.
    QGroupBox* m_frameFind = nullptr;
    QLineEdit* m_txtFind = nullptr;
    QCheckBox* m_chkIfFindAllXml = nullptr;
    QPushButton* m_cmdFind = nullptr;
    QTreeView* m_treeDisk = nullptr;
    // The tree's viewport, whose mouse events are the tree's clicks. Kept apart so that events
    // the window watches while the tree is being destroyed never call into the tree.
    QWidget* m_treeViewport = nullptr;
    bool m_releaseEndsDoubleClick = false;
    QTableView* m_listVDir = nullptr;
    QPointer<frmQuery> m_query;

    // True while frameFind is shown; the layout places the tree below the panel then.
    bool m_findPanelShown = false;

    // A search or a query is filling the list: another asked for meanwhile waits in m_nextFill
    // until it has stopped, and closing the window waits for it to stop.
    bool m_searching = false;
    std::function<void()> m_nextFill;
    bool m_closeAfterSearch = false;
};

} // namespace mellowby::ui
