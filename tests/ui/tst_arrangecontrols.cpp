#include <QRect>
#include <QTest>

#include "support/qtestmain.h"
#include "ui/arrangecontrols.h"

namespace mellowby::ui {

char* toString(const ControlRect& rect)
{
    return QTest::toString(QRect(rect.left, rect.top, rect.width, rect.height));
}

class TestArrangeControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void designSizeWithoutPanel()
    {
        const MainControls arranged = arrangeControls(630, 434, false, kDesignControls);
        QCOMPARE(arranged.treeDisk, (ControlRect { 10, 10, 201, 414 }));
        QCOMPARE(arranged.listVDir, (ControlRect { 221, 10, 399, 414 }));
        // The hidden panel is not moved.
        QCOMPARE(arranged.frameFind, kDesignControls.frameFind);
    }

    void designSizeWithPanel()
    {
        const MainControls arranged = arrangeControls(630, 434, true, kDesignControls);
        QCOMPARE(arranged.frameFind, (ControlRect { 10, 10, 201, 129 }));
        // Below the panel the tree reaches the bottom edge: no bottom margin.
        QCOMPARE(arranged.treeDisk, (ControlRect { 10, 149, 201, 285 }));
        QCOMPARE(arranged.listVDir, (ControlRect { 221, 10, 399, 414 }));
    }

    void tooNarrowKeepsTheListWidth()
    {
        const MainControls before = arrangeControls(630, 434, false, kDesignControls);
        const MainControls arranged = arrangeControls(230, 300, false, before);
        QCOMPARE(arranged.listVDir, (ControlRect { 221, 10, 399, 280 }));
        QCOMPARE(arranged.treeDisk, (ControlRect { 10, 10, 201, 280 }));
        // 231 is the narrowest width the list still follows, at width 0.
        QCOMPARE(arrangeControls(231, 300, false, before).listVDir.width, 0);
    }

    void tooLowKeepsTheHeights()
    {
        const MainControls before = arrangeControls(630, 434, true, kDesignControls);
        const MainControls arranged = arrangeControls(630, 100, true, before);
        // The tree below the panel would get 100 - 149: it keeps 285, but still moves.
        QCOMPARE(arranged.treeDisk, (ControlRect { 10, 149, 201, 285 }));
        QCOMPARE(arranged.listVDir, (ControlRect { 221, 10, 399, 80 }));
        const MainControls tiny = arrangeControls(630, 10, false, before);
        QCOMPARE(tiny.treeDisk, (ControlRect { 10, 10, 201, 285 }));
        QCOMPARE(tiny.listVDir.height, 414);
    }
};

} // namespace mellowby::ui

MELLOWBY_QTEST_APPLESS_MAIN(mellowby::ui::TestArrangeControls)
#include "tst_arrangecontrols.moc"
