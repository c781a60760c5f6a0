#include "app/QTitleWidget.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "app/QAboutDlg.h"
#include "device/QDeviceInfoModule.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "maintenance/QSettingCtrl.h"
#include "maintenance/QUpdate.h"
#include "platform/camlib/CameraChoice.h"
#include "widgets/QMessageboxDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QStyle>

QTitleWidget::QTitleWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName("TitleWidget");
    setFixedHeight(40);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground, true);

    m_pLogoLabel = new QLabel(this);
    m_pLogoLabel->setObjectName("Logo");
    m_pLogoLabel->setFixedSize(30, 30);
    m_pStatusLabel = new QLabel(this);
    m_pStatusLabel->setObjectName("StatusLabel");
    setStatusImage(":/Resource/Skin/state_Offline.png");
    m_pStatusLabel->hide();
    // Says when the picture is not a real camera's, or when the camera takes no commands.
    m_pCameraLabel = new QLabel(this);
    m_pCameraLabel->setObjectName("CameraStatusLabel");
    m_pCameraLabel->setStyleSheet("color:#E67E22;font-size:13px;font-weight:bold;");

    auto makeButton = [this](const char* name, const char* tipKey) {
        auto* pBtn = new QPushButton(this);
        pBtn->setObjectName(name);
        pBtn->setFixedSize(20, 20);
        pBtn->setToolTip(langText(tipKey));
        pBtn->setFocusPolicy(Qt::NoFocus);
        return pBtn;
    };
    m_pInfoBtn = makeButton("InfoBtn", "About");
    m_pMinBtn = makeButton("MinBtn", "Min");
    m_pResizeBtn = makeButton("ResizeBtn", "Max");
    m_pCloseBtn = makeButton("CloseBtn", "Close");
    m_pInfoBtn->hide();
    m_pResizeBtn->setProperty("max", false);

    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(20, 5, 0, 5);
    pLayout->setSpacing(6);
    pLayout->addWidget(m_pLogoLabel);
    pLayout->addWidget(m_pStatusLabel);
    pLayout->addWidget(m_pCameraLabel);
    pLayout->addStretch(1);
    pLayout->addWidget(m_pInfoBtn);
    pLayout->addWidget(m_pMinBtn);
    pLayout->addWidget(m_pResizeBtn);
    pLayout->addWidget(m_pCloseBtn);

    connect(m_pMinBtn, SIGNAL(clicked()), this, SLOT(setWndMinSlots()));
    connect(m_pResizeBtn, SIGNAL(clicked()), this, SLOT(setWndMaxSlots()));
    connect(m_pCloseBtn, SIGNAL(clicked()), this, SLOT(setWndCloseSlots()));
    connect(m_pInfoBtn, SIGNAL(clicked()), this, SLOT(setInfoSlots()));
    refreshCameraStatus();
}

QString QTitleWidget::cameraStatusText() const { return m_pCameraLabel->text(); }

void QTitleWidget::refreshCameraStatus()
{
    const char* pszKey = cameraStatusTextKey();
    m_pCameraLabel->setText(*pszKey ? langText(pszKey) : QString());
    m_pCameraLabel->setVisible(*pszKey != 0);
}

void QTitleWidget::setStatusImage(const QString& path)
{
    m_strStatusImage = path;
    m_pStatusLabel->setPixmap(QPixmap(path));
}

void QTitleWidget::refreshResizeButton()
{
    m_pResizeBtn->setProperty("max", window()->isMaximized());
    m_pResizeBtn->style()->unpolish(m_pResizeBtn);
    m_pResizeBtn->style()->polish(m_pResizeBtn);
}

void QTitleWidget::restoreMaximizedState()
{
    // Written as a bool ("true"/"false"); older files may hold 0/1. toBool() reads both,
    // where toInt() turned the stored "true" into 0.
    if (ConfigStore::value(ConfigStore::kGeneralGroup, "Maximization").toBool())
        window()->showMaximized();
    else
        window()->showNormal();
    refreshResizeButton();
}

void QTitleWidget::setWndMinSlots() { window()->showMinimized(); }

void QTitleWidget::toggleMaximized()
{
    QWidget* pWindow = window();
    if (pWindow->isMaximized())
        pWindow->showNormal();
    else
        pWindow->showMaximized();
    refreshResizeButton();
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "Maximization", pWindow->isMaximized());
}

void QTitleWidget::setWndMaxSlots() { toggleMaximized(); }

void QTitleWidget::setWndCloseSlots()
{
    if (m_bUpgrading) {
        QMessageboxDlg::showMessage(this, langText("Upgrading, unable to shut down client."));
        return;
    }
    window()->close();
}

void QTitleWidget::setInfoSlots()
{
    QAboutDlg dlg(this);
    dlg.exec();
}

void QTitleWidget::setStatusChangeSlots()
{
    // A lost camera or a restart may toggle the connection mid-upgrade; the upgrading state
    // stays until the upgrade's own result, so the window still cannot be closed.
    if (!g_pMainWindow)
        return;
    if (!m_bOnline) {
        g_pMainWindow->liveView()->startConnect();
    } else {
        g_pMainWindow->liveView()->requestDisconnect();
        g_pMainWindow->settingCtrl()->clearBadPixelPage();
        if (g_pMainWindow->deviceInfoModule())
            g_pMainWindow->deviceInfoModule()->clearDeviceInfo();
    }
}

void QTitleWidget::SetDisableBtnSlot(bool Flag)
{
    m_bUpgrading = Flag;
    // The camera restarts after taking a new image, so the session ends with the upgrade. A run
    // that never sent its image (the file failed its checks) leaves the camera as it was.
    if (!Flag && m_bOnline && g_pMainWindow && g_pMainWindow->settingCtrl()->updatePage()->imageReachedCamera())
        g_pMainWindow->disconnectAll();
}

void QTitleWidget::ChangeConnectStatusSlot(bool bStatus)
{
    if (bStatus) {
        setStatusImage(":/Resource/Skin/state_Online.png");
        m_bOnline = true;
    } else {
        setStatusImage(":/Resource/Skin/state_Offline.png");
        m_bOnline = false;
        m_bStandby = false;
        g_bRecording = false;
        g_bStandby = false;
    }
    refreshCameraStatus();
}

void QTitleWidget::UpdateStandbyStatusSlot(bool bStandby)
{
    m_bStandby = bStandby;
    setStatusImage(bStandby ? ":/Resource/Skin/state_Dormancy.png" : ":/Resource/Skin/state_Online.png");
}

bool QTitleWidget::insideDragArea(const QPoint& globalPos) const
{
    const QRect frame = window()->frameGeometry();
    const int nRight = frame.left() + frame.width();
    return globalPos.y() > frame.top() + 5 && globalPos.x() < nRight - 5;
}

void QTitleWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (insideDragArea(event->globalPos())) {
            m_bDragging = true;
            m_dragOffset = pos() + event->pos();
        } else if (g_pMainWindow) {
            m_bForwardingToWindow = true;
            g_pMainWindow->handleMousePress(event);
        }
    }
    QWidget::mousePressEvent(event);
}

void QTitleWidget::mouseMoveEvent(QMouseEvent* event)
{
    QWidget* pWindow = window();
    if (!pWindow->isMaximized()) {
        if (m_bDragging) {
            pWindow->move(event->globalPos() - m_dragOffset);
            if (g_pMainWindow) {
                g_pMainWindow->liveView()->placeHoverLabels();
                g_pMainWindow->liveView()->placeOverlay();
                g_pMainWindow->rubberBand()->setGeometry(pWindow->geometry());
            }
        } else if (m_bForwardingToWindow && g_pMainWindow) {
            g_pMainWindow->handleMouseMove(event);
        }
    }
    QWidget::mouseMoveEvent(event);
}

void QTitleWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_bDragging = false;
    if (m_bForwardingToWindow) {
        if (g_pMainWindow)
            g_pMainWindow->handleMouseRelease(event);
        m_bForwardingToWindow = false;
    }
    QWidget::mouseReleaseEvent(event);
}

void QTitleWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && insideDragArea(event->globalPos()))
        toggleMaximized();
    QWidget::mouseDoubleClickEvent(event);
}
