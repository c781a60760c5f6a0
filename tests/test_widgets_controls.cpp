// Switch animation and end positions, icon button looks, path field and unit label.
#include "support/TestSupport.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QSelLineEdit.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/QUnitLabel.h"
#include "widgets/SwitchButton.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Runs the animation by hand until it stops; returns the knob positions seen.
QList<int> runAnimation(SwitchButton& sw, int nMaxTicks = 1000)
{
    QList<int> positions;
    for (int i = 0; i < nMaxTicks && sw.isAnimating(); ++i) {
        sw.updateValue();
        positions << sw.startX();
    }
    return positions;
}

void sendEnter(QWidget* w)
{
    QEvent event(QEvent::Enter);
    QApplication::sendEvent(w, &event);
}

void sendLeave(QWidget* w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestWidgetsControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }

    void switchEndPositionsPerStyle_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("checkedEnd");
        // 100 x 30, space 2: rectangle w - w/2, circle inside w - h, circle outside w + space - h.
        QTest::newRow("rounded rectangle") << 0 << 50;
        QTest::newRow("circle inside") << 1 << 70;
        QTest::newRow("circle outside") << 2 << 72;
    }

    void switchEndPositionsPerStyle()
    {
        QFETCH(int, style);
        QFETCH(int, checkedEnd);
        SwitchButton sw;
        sw.setButtonStyle(style);
        sw.resize(100, 30);
        sw.show();
        QCOMPARE(sw.step(), 10);
        QSignalSpy spy(&sw, SIGNAL(checkedChanged(bool)));

        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(sw.isChecked());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(sw.endX(), checkedEnd);
        const QList<int> up = runAnimation(sw);
        QVERIFY(!sw.isAnimating());
        // Never past the end, and exactly on it at rest.
        for (int x : up)
            QVERIFY(x <= checkedEnd + sw.step());
        QCOMPARE(sw.startX(), checkedEnd);

        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(!sw.isChecked());
        QCOMPARE(spy.at(1).at(0).toBool(), false);
        QCOMPARE(sw.endX(), 0);
        runAnimation(sw);
        QCOMPARE(sw.startX(), 0);
    }

    void switchReversesFromWhereTheKnobStands()
    {
        SwitchButton sw;
        sw.resize(100, 30);
        QTest::mouseClick(&sw, Qt::LeftButton);
        for (int i = 0; i < 3; ++i)
            sw.updateValue();
        QCOMPARE(sw.startX(), 30);
        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(!sw.isChecked());
        sw.updateValue();
        QCOMPARE(sw.startX(), 20);
        runAnimation(sw);
        QCOMPARE(sw.startX(), 0);
    }

    void switchResizeAndQuietSetters()
    {
        SwitchButton sw;
        QSignalSpy spy(&sw, SIGNAL(checkedChanged(bool)));
        sw.resize(100, 30);
        sw.show();
        sw.setChecked(true, false);
        QCOMPARE(sw.startX(), 70);
        QVERIFY(!sw.isAnimating());
        // A resize puts the knob straight at the end for the new size.
        sw.resize(200, 40);
        QCOMPARE(sw.step(), 20);
        QCOMPARE(sw.startX(), 160);
        sw.setChecked(false);
        QVERIFY(sw.isAnimating());
        runAnimation(sw);
        QCOMPARE(sw.startX(), 0);
        QCOMPARE(spy.count(), 0);

        // A switch narrower than ten pixels still finishes its animation.
        SwitchButton tiny;
        tiny.setFixedSize(8, 6);
        QTest::mouseClick(&tiny, Qt::LeftButton);
        runAnimation(tiny);
        QVERIFY(!tiny.isAnimating());
        QCOMPARE(tiny.startX(), tiny.endX());
    }

    void horizontalButtonLooks()
    {
        QIconTextHBtn btn;
        btn.setIconImages("url(:/a_n.png);", "url(:/a_h.png);", "url(:/a_p.png);", "url(:/a_s.png);");
        btn.setBtnText("Snapshot");
        QCOMPARE(btn.lookState(), 0);
        QVERIFY(btn.iconLabel()->styleSheet().contains("a_n.png"));

        sendEnter(&btn);
        QCOMPARE(btn.lookState(), 1);
        QVERIFY(btn.iconLabel()->styleSheet().contains("a_h.png"));
        QVERIFY(btn.textLabel()->styleSheet().contains("#FFFFFF"));
        sendLeave(&btn);
        QCOMPARE(btn.lookState(), 0);
        QVERIFY(btn.textLabel()->styleSheet().contains("#6f6f6f"));

        btn.resize(120, 40);
        QSignalSpy clicked(&btn, SIGNAL(clicked()));
        QTest::mousePress(&btn, Qt::LeftButton);
        QCOMPARE(btn.lookState(), 2);
        QVERIFY(btn.iconLabel()->styleSheet().contains("a_p.png"));
        QTest::mouseRelease(&btn, Qt::LeftButton);
        QCOMPARE(btn.lookState(), 1);
        QCOMPARE(clicked.count(), 1);

        // Selected buttons return to the selected look when the pointer leaves.
        btn.setSelected(true);
        QCOMPARE(btn.lookState(), 4);
        QVERIFY(btn.iconLabel()->styleSheet().contains("a_s.png"));
        sendEnter(&btn);
        sendLeave(&btn);
        QCOMPARE(btn.lookState(), 4);
        btn.setSelected(false);
        QCOMPARE(btn.lookState(), 0);

        // A disabled button keeps its look.
        btn.setEnabled(false);
        sendEnter(&btn);
        QCOMPARE(btn.lookState(), 0);
        btn.setLookState(4);
        sendLeave(&btn);
        QCOMPARE(btn.lookState(), 4);

        // The two-image form serves hover, pressed and selected from the second image.
        QTextIconHBtn palette;
        palette.setIconImages("url(:/n.png);", "url(:/s.png);");
        QCOMPARE(palette.iconImage(1), QString("url(:/s.png);"));
        QCOMPARE(palette.iconImage(2), QString("url(:/s.png);"));
        QCOMPARE(palette.iconImage(4), QString("url(:/s.png);"));
        QCOMPARE(palette.iconImage(3), QString());
    }

    void iconAndTextOrder()
    {
        QIconTextHBtn iconFirst;
        QTextIconHBtn textFirst;
        for (QIconTextBtnBase* pBtn : {static_cast<QIconTextBtnBase*>(&iconFirst), static_cast<QIconTextBtnBase*>(&textFirst)}) {
            pBtn->setBtnText("Connect Device");
            pBtn->resize(200, 40);
            pBtn->show();
        }
        QVERIFY(QTest::qWaitForWindowExposed(&textFirst));
        QVERIFY(iconFirst.iconLabel()->x() < iconFirst.textLabel()->x());
        QVERIFY(textFirst.textLabel()->x() < textFirst.iconLabel()->x());
        // Clicks on the labels belong to the button.
        QSignalSpy clicked(&iconFirst, SIGNAL(clicked()));
        QTest::mouseClick(&iconFirst, Qt::LeftButton, Qt::NoModifier, iconFirst.textLabel()->geometry().center());
        QCOMPARE(clicked.count(), 1);
    }

    void verticalButtonHighlightAndImages()
    {
        // A real image file, to see that the style texts built from the fragments are accepted.
        QTemporaryDir dir;
        QImage red(36, 36, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QImage green(36, 36, QImage::Format_ARGB32);
        green.fill(Qt::green);
        QVERIFY(red.save(dir.path() + "/n.png"));
        QVERIFY(green.save(dir.path() + "/p.png"));

        QIconTextVBtn btn;
        QCOMPARE(btn.size(), QSize(36, 36));
        btn.setImages("url(" + dir.path() + "/n.png);", "url(" + dir.path() + "/p.png);");
        btn.show();
        QVERIFY(QTest::qWaitForWindowExposed(&btn));
        const auto centre = [&btn]() { return btn.iconLabel()->grab().toImage().pixelColor(18, 18); };
        QCOMPARE(centre(), QColor(Qt::red));

        sendEnter(&btn);
        QVERIFY(btn.isHighlighted());
        QCOMPARE(centre(), QColor(Qt::green));
        sendLeave(&btn);
        QVERIFY(!btn.isHighlighted());
        QCOMPARE(centre(), QColor(Qt::red));

        // The disabled button of the current module stays highlighted.
        btn.setHighlight(true);
        btn.setEnabled(false);
        sendLeave(&btn);
        QVERIFY(btn.isHighlighted());
        QVERIFY(btn.textLabel()->isHidden());
    }

    void verticalButtonShowsItsBackgroundThrough()
    {
        // An icon with transparent surroundings on a coloured column: around the icon the column
        // must show, not a button panel of the platform style.
        QTemporaryDir dir;
        QImage dot(36, 36, QImage::Format_ARGB32);
        dot.fill(Qt::transparent);
        QPainter(&dot).fillRect(12, 12, 12, 12, Qt::red);
        QVERIFY(dot.save(dir.path() + "/dot.png"));

        QWidget column;
        column.setObjectName("Column");
        column.setStyleSheet("QWidget#Column{background-color:#2B2B2B;}");
        column.resize(80, 80);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        column.move(screen.right() - 200, screen.top() + 100);
        auto* pBtn = new QIconTextVBtn(&column);
        pBtn->move(20, 20);
        pBtn->setImages("url(" + dir.path() + "/dot.png);", "url(" + dir.path() + "/dot.png);");
        column.show();
        QVERIFY(QTest::qWaitForWindowExposed(&column));
        const auto looksRight = [&column]() {
            column.raise();
            const QImage shot = column.screen()->grabWindow(column.winId()).toImage();
            return shot.pixelColor(20 + 18, 20 + 18) == QColor(Qt::red)
                && shot.pixelColor(20 + 2, 20 + 2) == QColor("#2B2B2B");
        };
        QTRY_VERIFY_WITH_TIMEOUT(looksRight(), 3000);
    }

    void pathFieldAndUnitLabel()
    {
        QSelLineEdit sel;
        QSignalSpy spy(&sel, SIGNAL(sendSelBtnClickedSignals()));
        sel.resize(300, 32);
        sel.show();
        sel.setText("/data/snap");
        QCOMPARE(sel.text(), QString("/data/snap"));
        QTest::mouseClick(sel.selButton(), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QVERIFY(sel.selButton()->x() >= sel.lineEdit()->geometry().right());

        // The floating labels must not swallow clicks meant for the range adjuster below.
        struct Catcher : QWidget {
            int presses = 0;
            void mousePressEvent(QMouseEvent*) override { ++presses; }
        } under;
        under.resize(200, 200);
        QUnitLabel label(&under);
        label.move(10, 10);
        label.setValueText("25.5");
        label.setUnitText("℃");
        under.show();
        QVERIFY(QTest::qWaitForWindowExposed(&under));
        QCOMPARE(label.size(), QSize(50, 30));
        QCOMPARE(label.valueText(), QString("25.5"));
        QWidget* pHit = under.childAt(20, 20);
        QVERIFY(pHit == nullptr || pHit == &under);
    }
};

QTEST_MAIN(TestWidgetsControls)
#include "test_widgets_controls.moc"
