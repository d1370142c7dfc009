#pragma once

#include <QPointF>
#include <QWidget>

class QMouseEvent;

namespace mellowby::ui {

// The splash screen: borderless, centred, above every other window, on screen while the main
// window loads the catalogs. The main window closes it when it has loaded; a click on its own
// surface closes it earlier. It does not delete itself when closed, so whoever holds it may
// close it again, which does nothing.
class frmFlash final : public QWidget {
    Q_OBJECT

public:
    explicit frmFlash(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void createControls();
    void Form_Load();
    void Form_Click();
    bool isOnSurface(QPointF position) const;

    // A click is a press and a release both on the surface; a press on a label that ends on the
    // surface is none.
    bool m_pressedOnSurface = false;
};

} // namespace mellowby::ui
