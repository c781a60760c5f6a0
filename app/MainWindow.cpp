#include "app/MainWindow.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/QCtrlModuleWidget.h"
#include "app/QTitleWidget.h"
#include "device/QDevCommExec.h"
#include "device/QDeviceInfoModule.h"
#include "device/UsbCameraLink.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "maintenance/QSettingCtrl.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopWidget>
#include <QHBoxLayout>
#include <QHoverEvent>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScreen>
#include <QVBoxLayout>

MainWindow* g_pMainWindow = nullptr;

QSize MainWindow::scaledSize(const QSize& screen)
{
    const int nWidth = static_cast<int>(screen.width() / 1920.0 * 1440);
    const int nHeight = static_cast<int>(screen.height() / 1080.0 * 900);
    return QSize(nWidth, nHeight);
}

QSize MainWindow::windowSizeFor(const QSize& screen, qreal fRatio)
{
    if (!(fRatio > 0.0))
        fRatio = 1.0;
    // Scaled in device pixels, then the logical size that Qt maps back onto exactly those: with a
    // fractional ratio, scaling the logical screen size truncated twice (1440 x 899 at 100 dpi).
    const QSize device = scaledSize(QSize(qRound(screen.width() * fRatio), qRound(screen.height() * fRatio)));
    const auto logical = [fRatio](int nDevice) {
        const int n = qRound(nDevice / fRatio);
        for (int nCandidate : {n, n - 1, n + 1}) {
            if (qRound(nCandidate * fRatio) == nDevice)
                return nCandidate;
        }
        return n;
    };
    return QSize(logical(device.width()), logical(device.height()));
}

int MainWindow::edgesAt(const QRect& frame, const QPoint& globalPos, int nMargin)
{
    int nEdges = 0;
    // frame.bottom()/right() of a QRect are one short of the outer edge.
    const int nTop = frame.top();
    const int nBottom = frame.top() + frame.height();
    const int nLeft = frame.left();
    const int nRight = frame.left() + frame.width();
    if (qAbs(globalPos.y() - nTop) < nMargin)
        nEdges |= EdgeTop;
    else if (qAbs(globalPos.y() - nBottom) < nMargin)
        nEdges |= EdgeBottom;
    if (qAbs(globalPos.x() - nLeft) < nMargin)
        nEdges |= EdgeLeft;
    else if (qAbs(globalPos.x() - nRight) < nMargin)
        nEdges |= EdgeRight;
    return nEdges;
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    g_pMainWindow = this;
    QTimerMessageboxWidget::setParentWidget(this);

    setObjectName("MainWindow");
    setWindowIcon(QIcon(":/Resource/Skin/LOGO.png"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint);

    QScreen* pScreen = QGuiApplication::primaryScreen();
    m_maxSize = pScreen ? windowSizeFor(pScreen->size(), pScreen->devicePixelRatio()) : scaledSize(QSize(1920, 1080));
    setFixedSize(m_maxSize);
    setMinimumSize(800, 600);

    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, true);

    m_pCtrlModule = new QCtrlModuleWidget(this);
    m_pTitle = new QTitleWidget(this);
    m_pLiveView = new QVideoPreviewModuleWidget(this);
    m_pLiveView->show();
    m_pSettingCtrl = new QSettingCtrl(this);
    m_pSettingCtrl->setObjectName("HotImageCtrl");
    m_pSettingCtrl->hide();
    m_pDevInfoModule = new QDeviceInfoModule(this);
    m_pDevInfoModule->setWindowFlags(Qt::FramelessWindowHint | Qt::Widget);
    m_pDevInfoModule->hide();
    m_pLiveView->addModuleWidget(m_pSettingCtrl);
    m_pLiveView->addModuleWidget(m_pDevInfoModule);

    m_pRubberBand = new QRubberBand(QRubberBand::Rectangle);
    m_pRubberBand->setMinimumSize(800, 600);
    m_pRubberBand->setMaximumSize(m_maxSize);
    m_pRubberBand->setGeometry(geometry());
    m_pRubberBand->hide();

    auto* pMainLayout = new QHBoxLayout;
    pMainLayout->setSpacing(0);
    pMainLayout->setContentsMargins(0, 0, 0, 0);
    pMainLayout->addWidget(m_pCtrlModule);
    m_pCtrlModule->hide();
    auto* pRightLayout = new QVBoxLayout;
    pRightLayout->setSpacing(0);
    pRightLayout->setContentsMargins(0, 0, 0, 0);
    pRightLayout->addWidget(m_pTitle);
    pRightLayout->addWidget(m_pLiveView);
    pMainLayout->addLayout(pRightLayout);

    // A window closed earlier gave up every wait on the camera; this one waits again.
    UsbCameraLink::instance().cancelWaits(false);
    m_pCommExec = new QDevCommExec;
    m_pCommExec->moveToThread(m_pCommThread);
    m_pCommThread->start(QThread::InheritPriority);

    setLayout(pMainLayout);
    m_pTitle->restoreMaximizedState();

    QVideoPreviewModuleWidget* lv = m_pLiveView;
    wire(lv, SIGNAL(sendStatusChangeSignals()), m_pTitle, SLOT(setStatusChangeSlots()));
    wire(m_pDevInfoModule, SIGNAL(ReconnectDeviceSignals()), this, SLOT(ReconnectDeviceSlots()));
    wire(lv, SIGNAL(sendStandbyModeChangedSignal(bool)), m_pTitle, SLOT(UpdateStandbyStatusSlot(bool)));
    wire(m_pSettingCtrl, SIGNAL(SendDisableBtnSignal(bool)), m_pCtrlModule, SLOT(SetDisableBtnSlot(bool)));
    wire(m_pSettingCtrl, SIGNAL(SendDisableBtnSignal(bool)), m_pTitle, SLOT(SetDisableBtnSlot(bool)));
    wire(m_pSettingCtrl, SIGNAL(SendDisableBtnSignal(bool)), lv, SLOT(SetDisableBtnSlot(bool)));
    wire(m_pSettingCtrl, SIGNAL(SendDisableBtnSignal(bool)), m_pDevInfoModule, SLOT(SetDisableBtnSlot(bool)));
    wire(lv, SIGNAL(ChangeConnectStatusSignal(bool)), m_pTitle, SLOT(ChangeConnectStatusSlot(bool)));
    connect(lv, &QVideoPreviewModuleWidget::sendSwitchModuleSignal, this, &MainWindow::switchModule);
    wire(this, SIGNAL(Signal_ConnectStatusChange()), m_pTitle, SLOT(setStatusChangeSlots()));
    wire(this, SIGNAL(SendDisableEventSignal(bool)), lv, SLOT(SetDisableEventSlot(bool)));
    wire(this, SIGNAL(SendDisableEventSignal(bool)), lv, SLOT(SetDisableEventSlot2(bool)));
    wire(lv, SIGNAL(ConnectDevSignal()), m_pCommExec, SLOT(setDevConnectSlot()));
    wire(m_pCommExec, SIGNAL(sendDevConnectRetSignal(int, bool)), lv, SLOT(ConnectDevRetSlot(int, bool)));
    wire(lv, SIGNAL(sendDisconnectDevSignal()), m_pCommExec, SLOT(setDevDisconnectSlot()));
    wire(m_pCommExec, SIGNAL(sendDevDisconnectRetSignal(bool)), lv, SLOT(setDevDisconnectRetSlot(bool)));
    wire(lv, SIGNAL(sendChangeColorization(int)), m_pCommExec, SLOT(setColorrizationSlot(int)));
    wire(lv, SIGNAL(sendSetSharpnessSignal(int)), m_pCommExec, SLOT(setSharpnessParamSlot(int)));
    wire(lv, SIGNAL(sendSetFFCModeSignal()), m_pCommExec, SLOT(setFFCSlot()));
    wire(m_pCommExec, SIGNAL(sendFFCRetSignal(bool)), lv, SLOT(setFFCRetSlot(bool)));
    wire(m_pDevInfoModule, SIGNAL(sendGetDeviceInfoSignal()), m_pCommExec, SLOT(getDeviveInfoSlot()));
    wire(m_pCommExec, SIGNAL(sendGetDeviceInfoRetSignal(DeviceInformation)), m_pDevInfoModule,
         SLOT(GetDeviceInfoRetSlot(DeviceInformation)));
    wire(m_pSettingCtrl, SIGNAL(sendGetALLBadColsSignal(int*, int*)), m_pCommExec, SLOT(getAllBadColsSlot(int*, int*)));
    wire(m_pCommExec, SIGNAL(sendGetAllBadColsRetSignal(bool, int, int*, int*)), m_pSettingCtrl,
         SLOT(getAllBadColsRetSlot(bool, int, int*, int*)));
    wire(m_pSettingCtrl, SIGNAL(sendGetALLBadPixelsSignal(int*,int*, int*)), m_pCommExec,
         SLOT(getAllBadPixelsSlot(int*, int*, int*)));
    wire(m_pCommExec, SIGNAL(sendGetAllBadPixelsRetSignal(bool, int, int*, int*)), m_pSettingCtrl,
         SLOT(getAllBadPixelsRetSlot(bool, int, int*, int*)));
    wire(m_pSettingCtrl, SIGNAL(sendSetAllBadPixelsSignal(int, int*, int*)), m_pCommExec,
         SLOT(setAllBadPixelsSlot(int, int*, int*)));
    wire(m_pCommExec, SIGNAL(sendSetAllBadPixelsRetSignal(bool)), m_pSettingCtrl, SLOT(setAllBadPixelsRetSlot(bool)));
    wire(m_pSettingCtrl, SIGNAL(sendSetAllBadColsSignal(int, int*, int*)), m_pCommExec,
         SLOT(setAllBadColsSlot(int, int*, int*)));
    wire(m_pCommExec, SIGNAL(sendSetAllBadColsRetSignal(bool)), m_pSettingCtrl, SLOT(setAllBadColsRetSlot(bool)));
    wire(m_pSettingCtrl, SIGNAL(sendSaveAllBadSetSignal()), m_pCommExec, SLOT(saveAllSetSlot()));
    wire(m_pCommExec, SIGNAL(sendSaveAllBadSetRetSignal(bool)), m_pSettingCtrl, SLOT(saveAllBadSetRetSlot(bool)));
    wire(lv, SIGNAL(sendSetAutoGainModeSignal(int)), m_pCommExec, SLOT(setAutoGainModelSwitchSlot(int)));
    wire(m_pCommExec, SIGNAL(sendSetAutoGainModeRetSignal(bool)), lv, SLOT(setGainModeSwitchRetSlot(bool)));
    wire(lv, SIGNAL(sendSetGainModeSignal(int)), m_pCommExec, SLOT(setGainModeSwitchSlot(int)));
    wire(m_pCommExec, SIGNAL(sendSetGainModeRetSignal(bool)), lv, SLOT(setGainModeSwitchRetSlot(bool)));
    wire(lv, SIGNAL(sendGetLowTempTwoGearSignal()), m_pCommExec, SLOT(getLowTempTwoGearSlot()));
    wire(m_pCommExec, SIGNAL(sendGetLowTempTwoGearRetSignal(bool, int, int)), lv,
         SLOT(getLowTempTwoGearRetSlot(bool, int, int)));
    wire(lv, SIGNAL(sendSetLowTempTwoGearSignal(int, int)), m_pCommExec, SLOT(setLowTempTwoGearSlot(int, int)));
    wire(m_pCommExec, SIGNAL(sendSetLowTempTwoGearRetSignal(bool)), lv, SLOT(setLowTempTwoGearRetSlot(bool)));
    wire(lv, SIGNAL(sendSetDeviceSuperResModeSignal(int)), m_pCommExec, SLOT(setDeviceSuperResModeSlot(int)));
    wire(m_pCommExec, SIGNAL(sendSetDeviceSuperResModeRetSignal(bool)), lv, SLOT(setDeviceSuperResModeRetSlot(bool)));
    wire(lv, SIGNAL(sendSetWorkModeSignal(int)), m_pCommExec, SLOT(setWorkModeSlot(int)));
    wire(m_pCommExec, SIGNAL(sendSetWorkModeRetSignal(int, bool)), lv, SLOT(setWorkModeRetSlot(int, bool)));
    wire(lv, SIGNAL(sendProbeDeviceSignal()), m_pCommExec, SLOT(probeDeviceSlot()));
    wire(m_pCommExec, SIGNAL(sendProbeDeviceRetSignal(bool)), lv, SLOT(probeDeviceRetSlot(bool)));
    wire(m_pDevInfoModule, SIGNAL(sendSetUsbModeSignal()), m_pCommExec, SLOT(setUsbModeSlot()));
    connect(m_pCommThread, &QThread::finished, m_pCommExec, &QObject::deleteLater);
}

MainWindow::~MainWindow()
{
    // Whatever the camera does, the executor gives up its wait within a receive slice and
    // its thread ends; a thread that still has not ended is left behind, never killed, and
    // the window closes anyway.
    UsbCameraLink::instance().cancelWaits(true);
    m_pCommThread->quit();
    if (m_pCommThread->wait(kExecutorStopMs))
        delete m_pCommThread;
    else
        qWarning("MainWindow: the command executor did not stop within %d ms; leaving it behind", kExecutorStopMs);
    delete m_pRubberBand;
    if (g_pMainWindow == this)
        g_pMainWindow = nullptr;
}

void MainWindow::wire(QObject* sender, const char* signal, QObject* receiver, const char* slot)
{
    const bool ok = static_cast<bool>(QObject::connect(sender, signal, receiver, slot));
    if (!ok)
        qWarning() << "MainWindow: connection failed" << signal << slot;
    // SIGNAL()/SLOT() prefix the texts with '2' and '1'; keep the bare signature for reports.
    m_wiring.append({sender ? sender->metaObject()->className() : QString(), QString(signal + 1),
                     receiver ? receiver->metaObject()->className() : QString(), QString(slot + 1), ok});
}

void MainWindow::switchModule(int nModule)
{
    m_nCurModule = nModule;
    m_pLiveView->selectNavButton(nModule);
    m_pLiveView->m_nCurModule = nModule;
    m_pCtrlModule->selectModule(nModule);
    switch (nModule) {
    case 0:
        m_pSettingCtrl->hide();
        m_pDevInfoModule->hide();
        m_pLiveView->setLiveViewVisible(true);
        playCurrentModule();
        break;
    case 1:
        m_pDevInfoModule->hide();
        m_pLiveView->setLiveViewVisible(false);
        m_pSettingCtrl->show();
        playCurrentModule();
        break;
    case 2:
        m_pSettingCtrl->hide();
        m_pLiveView->setLiveViewVisible(false);
        m_pDevInfoModule->show();
        if (UsbCameraLink::instance().bStreaming)
            emit m_pDevInfoModule->sendGetDeviceInfoSignal();
        break;
    default:
        break;
    }
}

void MainWindow::playCurrentModule()
{
    qDebug() << "=====VIDEO PLAY======";
    switch (m_nCurModule) {
    case 0:
        m_pLiveView->startVideo();
        break;
    case 1:
        if (m_pSettingCtrl->currentPage() == 3)
            m_pSettingCtrl->playBadPixelVideo();
        break;
    case 2:
        if (UsbCameraLink::instance().bStreaming)
            emit m_pDevInfoModule->sendGetDeviceInfoSignal();
        break;
    default:
        break;
    }
}

void MainWindow::disconnectAll()
{
    m_pLiveView->requestDisconnect();
    m_pSettingCtrl->clearBadPixelPage();
    m_pDevInfoModule->clearDeviceInfo();
}

void MainWindow::ReconnectDeviceSlots()
{
    emit SendDisableEventSignal(true);
    // Sent by the executor, ahead of the disconnect that the status change queues behind it.
    QMetaObject::invokeMethod(m_pCommExec, "restartDeviceSlot", Qt::QueuedConnection);
    emit Signal_ConnectStatusChange();

    QMessageboxDlg dlg(this);
    dlg.setText(langText("Device has rebooted, reconnecting the device, please wait."));
    dlg.iconLabel()->hide();
    dlg.cancelButton()->hide();
    dlg.okButton()->hide();
    dlg.busyLabel()->show();
    dlg.setMode(0);
    dlg.startDlgTimer(m_nRestartWaitMs);
    dlg.exec();

    emit Signal_ConnectStatusChange();
    emit SendDisableEventSignal(false);
}

void MainWindow::updateEdges(const QPoint& globalPos)
{
    m_nEdges = edgesAt(frameGeometry(), globalPos);
    switch (m_nEdges) {
    case EdgeTop | EdgeLeft:
    case EdgeBottom | EdgeRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case EdgeTop | EdgeRight:
    case EdgeBottom | EdgeLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
    case EdgeTop:
    case EdgeBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case EdgeLeft:
    case EdgeRight:
        setCursor(Qt::SizeHorCursor);
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void MainWindow::handleMousePress(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !isMaximized()) {
        m_bPressed = true;
        // The band starts from where the window is now: it may have been moved, maximised and
        // restored, or never resized since it was first shown.
        m_pRubberBand->setGeometry(geometry());
    }
}

void MainWindow::handleMouseMove(QMouseEvent* event)
{
    const QPoint g = event->globalPos();
    if (!m_bPressed) {
        updateEdges(g);
        return;
    }
    if (m_nEdges == 0)
        return;
    m_pRubberBand->show();
    QRect r = m_pRubberBand->geometry();
    const QSize minSize = m_pRubberBand->minimumSize();
    const QSize maxSize = m_pRubberBand->maximumSize();
    // A band at its minimum size only grows, at its maximum only shrinks.
    if (m_nEdges & EdgeTop) {
        if (r.height() == minSize.height()) {
            if (g.y() < r.top())
                r.setTop(g.y());
        } else if (r.height() == maxSize.height()) {
            if (g.y() > r.top())
                r.setTop(g.y());
        } else {
            r.setTop(g.y());
        }
    }
    if (m_nEdges & EdgeBottom) {
        if (r.height() == minSize.height()) {
            if (g.y() > r.bottom())
                r.setBottom(g.y());
        } else if (r.height() == maxSize.height()) {
            if (g.y() < r.bottom())
                r.setBottom(g.y());
        } else {
            r.setBottom(g.y());
        }
    }
    if (m_nEdges & EdgeLeft) {
        if (r.width() == minSize.width()) {
            if (g.x() < r.left())
                r.setLeft(g.x());
        } else if (r.width() == maxSize.width()) {
            if (g.x() > r.left())
                r.setLeft(g.x());
        } else {
            r.setLeft(g.x());
        }
    }
    if (m_nEdges & EdgeRight) {
        if (r.width() == minSize.width()) {
            if (g.x() > r.right())
                r.setRight(g.x());
        } else if (r.width() == maxSize.width()) {
            if (g.x() < r.right())
                r.setRight(g.x());
        } else {
            r.setRight(g.x());
        }
    }
    m_pRubberBand->setGeometry(r);
}

void MainWindow::handleMouseRelease(QMouseEvent* event)
{
    if (!isMaximized()) {
        if (m_nEdges != 0) {
            updateEdges(event->globalPos());
            setGeometry(m_pRubberBand->geometry());
            m_pRubberBand->hide();
            m_pLiveView->placeOverlay();
            m_pRubberBand->setGeometry(geometry());
        }
        m_bPressed = false;
    }
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    handleMousePress(event);
    QWidget::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    handleMouseMove(event);
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    handleMouseRelease(event);
    QWidget::mouseReleaseEvent(event);
}

// The title bar refuses its own close button during an upgrade; a close from anywhere else
// (the window system, closeAllWindows) must not cut a firmware write short either.
void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_pTitle && m_pTitle->isUpgrading()) {
        QMessageboxDlg::showMessage(this, langText("Upgrading, unable to shut down client."));
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::HoverMove && !m_bPressed) {
        auto* pHover = static_cast<QHoverEvent*>(event);
        QMouseEvent move(QEvent::MouseMove, pHover->pos(), mapToGlobal(pHover->pos()), Qt::NoButton,
                         Qt::NoButton, pHover->modifiers());
        handleMouseMove(&move);
    }
    return QWidget::event(event);
}
