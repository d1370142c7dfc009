#pragma once

#include <memory>

#include <QDialog>

#include "search/filelist.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::ui {

class FileListModel;
struct ProgramContext;

// The advanced find: a query line with the syntax explained below it, the scope (the current
// catalog or all loaded ones), and the rows the query finds in a list of its own with the find
// panel's columns, sorted by a click on a header and opened by a double-click as the main
// window's rows are. A query that cannot be read is said under the query line. Not modal, so
// that the catalog tree stays usable to choose the current catalog; the main window keeps one.
// Everything given must outlive it.
class frmQuery final : public QDialog {
    Q_OBJECT

public:
    frmQuery(ProgramContext& context, browse::CatalogBrowser& browser, const names::NamesIndexCache& indexes,
        QWidget* parent = nullptr);
    ~frmQuery() override;
    frmQuery(const frmQuery&) = delete;
    frmQuery& operator=(const frmQuery&) = delete;

    const search::FileList& rows() const { return m_list; }

private:
    void createControls();
    void cmdQuery_Click();
    void listQuery_ColumnClick(int section);
    void listQuery_DblClick();

    ProgramContext& m_context;
    browse::CatalogBrowser& m_browser;
    const names::NamesIndexCache& m_indexes;
    search::FileList m_list;
    std::unique_ptr<FileListModel> m_model;

    // Owned by the dialog through their Qt parents.
    QLineEdit* m_txtQuery = nullptr;
    QLabel* m_lblFault = nullptr;
    QCheckBox* m_chkAllCatalogs = nullptr;
    QPushButton* m_cmdQuery = nullptr;
    QTableView* m_listQuery = nullptr;
};

} // namespace mellowby::ui
