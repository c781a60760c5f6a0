// Message box modes and modal runs, and the shared self-hiding notice.
#include "support/TestSupport.h"
#include "widgets/QLoadingMsgDlg.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QApplication>
#include <QLabel>
#include <QMovie>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// Clicks a button of the next modal message box as soon as it is up.
void answerNextModal(QPushButton* (QMessageboxDlg::*which)() const, QString* seenText = nullptr)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(5);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, which, seenText]() {
        auto* pDlg = qobject_cast<QMessageboxDlg*>(QApplication::activeModalWidget());
        if (!pDlg)
            return;
        if (seenText)
            *seenText = pDlg->text();
        pTimer->stop();
        pTimer->deleteLater();
        QTest::mouseClick((pDlg->*which)(), Qt::LeftButton);
    });
    pTimer->start();
}

// Runs the timer slot until the dialog's timer stops, at most nMax ticks.
int tickUntilStopped(QMessageboxDlg& dlg, int nMax)
{
    int n = 0;
    while (dlg.timer()->isActive() && n < nMax) {
        dlg.onTimeoutSlot();
        ++n;
    }
    return n;
}

} // namespace

class TestWidgetsDialogs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }

    void progressModeIsDoneOnlyAtTheMaximum()
    {
        QMessageboxDlg dlg;
        QCOMPARE(dlg.mode(), -1);
        dlg.setMode(1);
        dlg.setProgressTarget(20);
        dlg.setDone(false);
        dlg.startDlgTimer(60000);   // ticks are driven by hand below

        // A target below the maximum is reached and held, but never completes.
        tickUntilStopped(dlg, 500);
        QCOMPARE(dlg.progressBar()->value(), 20);
        QVERIFY(!dlg.isDone());
        QVERIFY(dlg.timer()->isActive());

        dlg.setProgressTarget(50);
        tickUntilStopped(dlg, 500);
        QCOMPARE(dlg.progressBar()->value(), 50);
        QVERIFY(!dlg.isDone());

        // The bar climbs one step per tick to 100, and only then is the run done.
        dlg.setProgressTarget(100);
        for (int i = 0; i < 49; ++i)
            dlg.onTimeoutSlot();
        QCOMPARE(dlg.progressBar()->value(), 99);
        QVERIFY(!dlg.isDone());
        tickUntilStopped(dlg, 10);
        QCOMPARE(dlg.progressBar()->value(), 100);
        QVERIFY(dlg.isDone());
        QVERIFY(!dlg.timer()->isActive());
    }

    void closeModeAndIdleMode()
    {
        QMessageboxDlg dlg;
        dlg.busyLabel()->show();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));

        // Any mode other than 0 and 1 leaves everything as it is.
        dlg.startDlgTimer(60000);
        dlg.onTimeoutSlot();
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.timer()->isActive());
        QVERIFY(!dlg.isDone());

        dlg.setMode(0);
        dlg.onTimeoutSlot();
        QVERIFY(!dlg.isVisible());
        QVERIFY(!dlg.timer()->isActive());
        QVERIFY(dlg.busyLabel()->isHidden());
    }

    void modalRunsAndTheirResults()
    {
        QWidget parent;
        parent.resize(600, 400);
        parent.show();

        // The common form: no icon, no Cancel; OK accepts.
        QString seen;
        answerNextModal(&QMessageboxDlg::okButton, &seen);
        QCOMPARE(QMessageboxDlg::showMessage(&parent, "Device is not connect."), int(QDialog::Accepted));
        QCOMPARE(seen, QString("Device is not connect."));

        answerNextModal(&QMessageboxDlg::okButton);
        QVERIFY(QMessageboxDlg::askConfirm(&parent, "Delete?"));
        answerNextModal(&QMessageboxDlg::cancelButton);
        QVERIFY(!QMessageboxDlg::askConfirm(&parent, "Delete?"));
        answerNextModal(&QMessageboxDlg::closeButton);
        QVERIFY(!QMessageboxDlg::askConfirm(&parent, "Delete?"));

        // What a page sees of the common form while it runs.
        bool bIconHidden = false;
        bool bCancelHidden = false;
        bool bModal = false;
        QMessageboxDlg::setExecHookForTests([&](QMessageboxDlg& dlg) {
            bIconHidden = dlg.iconLabel()->isHidden();
            bCancelHidden = dlg.cancelButton()->isHidden();
            bModal = dlg.windowModality() == Qt::ApplicationModal;
            return int(QDialog::Rejected);
        });
        QCOMPARE(QMessageboxDlg::showMessage(&parent, "x"), int(QDialog::Rejected));
        QMessageboxDlg::setExecHookForTests({});
        QVERIFY(bIconHidden);
        QVERIFY(bCancelHidden);
        QVERIFY(bModal);
    }

    void busyDialogClosesFromAResultSlot()
    {
        QLoadingMsgDlg dlg;
        QCOMPARE(dlg.size(), QSize(490, 230));
        QTimer::singleShot(20, &dlg, &QDialog::close);
        dlg.exec();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.movie()->state(), QMovie::NotRunning);
    }

    void noticeIconsWidthAndPlace()
    {
        QWidget mainWindow;
        mainWindow.resize(1000, 700);
        mainWindow.show();
        QTimerMessageboxWidget::setParentWidget(&mainWindow);
        QTimerMessageboxWidget* pNotice = QTimerMessageboxWidget::instance();
        QCOMPARE(pNotice->parentWidget(), &mainWindow);
        QCOMPARE(pNotice->objectName(), QString("TimerMessageboxWidget"));
        QCOMPARE(pNotice->size(), QSize(450, 40));

        pNotice->showMessage("Operate succeed", QTimerMessageboxWidget::Success, 60000);
        QCOMPARE(pNotice->iconPath(), QString(":/Resource/Skin/common_sucess.png"));
        QVERIFY(pNotice->isVisible());
        QCOMPARE(pNotice->pos(), QPoint((1000 - 450) / 2, (700 - 40) / 2));
        pNotice->showMessage("Operate failed", QTimerMessageboxWidget::Failure, 60000);
        QCOMPARE(pNotice->iconPath(), QString(":/Resource/Skin/common_fail.png"));
        pNotice->showMessage("Snapshot Path Not Exit", QTimerMessageboxWidget::Information, 60000);
        QCOMPARE(pNotice->iconPath(), QString(":/Resource/Skin/common_info.png"));
        pNotice->showMessage("Unknown", 2, 60000);
        QCOMPARE(pNotice->iconPath(), QString(":/Resource/Skin/common_info.png"));
        QCOMPARE(pNotice->text(), QString("Unknown"));

        // Short texts keep the 450 width; a long one widens the strip to 1.2 x its width, and
        // the strip does not shrink back afterwards.
        QCOMPARE(pNotice->width(), 450);
        const QString qStrLong(120, QChar('W'));
        pNotice->showMessage(qStrLong, 0, 60000);
        const int nExpected = int(1.2 * pNotice->textLabel()->fontMetrics().horizontalAdvance(qStrLong));
        QVERIFY(nExpected > 450);
        QCOMPARE(pNotice->width(), nExpected);
        pNotice->showMessage("short", 0, 60000);
        QCOMPARE(pNotice->width(), nExpected);

        QTimerMessageboxWidget::setParentWidget(nullptr);
    }

    void noticeHideTimers()
    {
        QWidget mainWindow;
        mainWindow.resize(800, 600);
        mainWindow.show();
        QTimerMessageboxWidget::setParentWidget(&mainWindow);

        QTimerMessageboxWidget::showNotice("first", 0, 10);
        QTRY_VERIFY(!QTimerMessageboxWidget::instance()->isVisible());

        // The first notice's timer also ends the second one, which replaced its text and icon.
        QTimerMessageboxWidget::showNotice("first", 0, 30);
        QTimerMessageboxWidget::showNotice("second", 1, 600000);
        QTimerMessageboxWidget* pNotice = QTimerMessageboxWidget::instance();
        QCOMPARE(pNotice->text(), QString("second"));
        QCOMPARE(pNotice->iconPath(), QString(":/Resource/Skin/common_fail.png"));
        QVERIFY(pNotice->isVisible());
        QTRY_VERIFY(!pNotice->isVisible());
        QCOMPARE(pNotice->text(), QString("second"));
        QTimerMessageboxWidget::setParentWidget(nullptr);
    }

    void noticeOutlivesNoParent()
    {
        QPointer<QTimerMessageboxWidget> pOld;
        {
            QWidget mainWindow;
            QTimerMessageboxWidget::setParentWidget(&mainWindow);
            pOld = QTimerMessageboxWidget::instance();
            QTimerMessageboxWidget::showNotice("x", 0, 10);
        }
        // The notice went with its window; the next notice is made afresh, not reused.
        QVERIFY(pOld.isNull());
        QTimerMessageboxWidget::showNotice("y", 3, 10);
        QTimerMessageboxWidget* pNotice = QTimerMessageboxWidget::instance();
        QVERIFY(pNotice);
        QCOMPARE(pNotice->parentWidget(), static_cast<QWidget*>(nullptr));
        QVERIFY(pNotice->isVisible());
        QTRY_VERIFY(!pNotice->isVisible());
        delete pNotice;
    }
};

QTEST_MAIN(TestWidgetsDialogs)
#include "test_widgets_dialogs.moc"
