#pragma once

#include <functional>

#include <QObject>

class QWidget;

namespace mellowby::ui {

// While a search fills the file list, the window takes only the input that cannot disturb it: the
// list scrolls, the find text can be changed, 查找 starts another search and Esc stops this one.
// Clicks, keys and shortcuts meant for the rest of the window (the tree, the menus, sorting,
// opening a row) are dropped until the search ends, for each of them would change or read the
// list the search is filling. Boxes and other windows of the program are not touched.
class SearchInputGate final : public QObject {
public:
    struct Controls {
        QWidget* window;
        QWidget* list;
        QWidget* findText;
        QWidget* findButton;
    };

    // Watches the whole application from now until it is destroyed; stop is called on Esc.
    SearchInputGate(Controls controls, std::function<void()> stop);
    ~SearchInputGate() override;
    SearchInputGate(const SearchInputGate&) = delete;
    SearchInputGate& operator=(const SearchInputGate&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the window lets this input through to widget while the search runs.
    bool letsThrough(const QWidget* widget, const QEvent* event) const;

    Controls m_controls;
    std::function<void()> m_stop;
};

} // namespace mellowby::ui
