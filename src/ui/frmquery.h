#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mellowby::ui {

// Lists what a query finds in the main window's file list, as a search does; the fault of a query
// that cannot be read, and nothing listed then.
using QueryToList = std::function<std::optional<std::string>(const std::string& query, bool allCatalogs)>;

// The advanced find: a query line with the syntax explained below it and the scope (the current
// catalog or all loaded ones). The rows go to the main window's file list, with its columns,
// sorting and opening; a query that cannot be read is said under the query line. Not modal, so
// that the catalog tree stays usable to choose the current catalog; the main window keeps one.
class frmQuery final : public QDialog {
    Q_OBJECT

public:
    explicit frmQuery(QueryToList toList, QWidget* parent = nullptr);

private:
    void createControls();
    void cmdQuery_Click();

    QueryToList m_toList;

    // Owned by the dialog through their Qt parents.
    QLineEdit* m_txtQuery = nullptr;
    QLabel* m_lblFault = nullptr;
    QPushButton* m_cmdQuery = nullptr;
    QCheckBox* m_chkAllCatalogs = nullptr;
};

} // namespace mellowby::ui
