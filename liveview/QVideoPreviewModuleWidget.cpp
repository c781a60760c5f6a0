#include "liveview/QVideoPreviewModuleWidget.h"

#include "alarms/AlarmLiveView.h"
#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "device/UsbCameraLink.h"
#include "liveview/LiveViewGeometry.h"
#include "liveview/QChamferedLabel.h"
#include "liveview/QMeasureLayer.h"
#include "liveview/QTemperRangeAdjust.h"
#include "liveview/LiveViewStyles.h"
#include "liveview/QVideoWndWidget.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "measure/MeasureSettings.h"
#include "measure/PaletteNames.h"
#include "platform/camlib/CameraChoice.h"
#include "platform/usbnotify/SessionLockMonitor.h"
#include "platform/usbnotify/UsbHotplugMonitor.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QLoadingMsgDlg.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/QUnitLabel.h"
#include "widgets/SwitchButton.h"

#include <QBitmap>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

using namespace LiveViewStyles;

namespace {

QLabel* makeDivideLine(QWidget* parent, const char* pszName = "DivideLine")
{
    auto* pLine = new QLabel(parent);
    pLine->setObjectName(pszName);
    pLine->setFixedHeight(1);
    return pLine;
}

// Two buttons share a row of the panel: longer captions (English) take two lines.
void fitLongTexts(QIconTextBtnBase* pBtn)
{
    if (QLayout* pLayout = pBtn->layout()) {
        pLayout->setContentsMargins(8, 0, 6, 0);
        pLayout->setSpacing(5);
    }
    pBtn->textLabel()->setWordWrap(true);
}

QIconTextHBtn* makeImageButton(QWidget* parent, const char* pszKey, const char* pszNormal, const char* pszSelected)
{
    auto* pBtn = new QIconTextHBtn(parent);
    pBtn->setObjectName("IconTextHBtn");
    pBtn->setBtnText(langText(pszKey));
    pBtn->setIconImages(pszNormal, pszSelected);
    pBtn->setFixedSize(kImageBtnWidth, kImageBtnHeight);
    pBtn->setFocusPolicy(Qt::NoFocus);
    fitLongTexts(pBtn);
    return pBtn;
}

QTextIconHBtn* makePaletteButton(QWidget* parent, const char* pszKey, const char* pszImage)
{
    auto* pBtn = new QTextIconHBtn(parent);
    pBtn->setObjectName("IconTextHBtn");
    pBtn->setBtnText(langText(pszKey));
    pBtn->setIconImages(pszImage, pszImage, pszImage, pszImage);
    pBtn->setFixedSize(kPaletteBtnWidth, kPaletteBtnHeight);
    pBtn->setFocusPolicy(Qt::NoFocus);
    return pBtn;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Construction and destruction

QVideoPreviewModuleWidget::QVideoPreviewModuleWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName("QVideoPreviewModuleWidget");
    resize(885, 578);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);

    // The engine comes first: the video window hands its label's window to it.
    m_pVideoPlay = new QVideoPlay;
    m_pVideoPlay->moveToThread(&m_videoThread);

    buildLayout();

    readImageSettings();

    m_pTempRule = new QTempRule;
    m_pTempRule->moveToThread(&m_tempRuleThread);
    m_pOverlayTimer = new QTimer(this);
    m_pConnectCheckTimer = new QTimer(this);
    m_pLoadingDlg = new QLoadingMsgDlg(this);
    m_videoThread.start(QThread::InheritPriority);
    m_tempRuleThread.start(QThread::InheritPriority);

    makeConnections();
    m_pMeasureLayer = new QMeasureLayer(m_pVideoWnd->videoLabel(), m_pOverlay, m_pVideoPlay, this);
    connect(m_pMeasureLayer, &QMeasureLayer::sendMaskChangedSignal, this, [this] { updateOverlayMask(); });
    m_pColdPointSwitch->setChecked(m_pMeasureLayer->isColdSpotVisible(), false);
    connect(m_pColdPointSwitch, &SwitchButton::checkedChanged, m_pMeasureLayer, &QMeasureLayer::setColdSpotVisible);
    m_pVideoWnd->installEventFilter(this);
    m_pTemperScaleWidget->installEventFilter(this);
    installAlarms(this);

    // Device and session notifications; the camera's own removal is told apart by probing it.
    m_pHotplugMonitor = new UsbHotplugMonitor(this);
    connect(m_pHotplugMonitor, &UsbHotplugMonitor::deviceChanged, this,
            &QVideoPreviewModuleWidget::handleDeviceChange);
    if (!m_pHotplugMonitor->hasKernelSource() && !m_pHotplugMonitor->hasBackendSource())
        qDebug() << "注册失败";
    m_pSessionMonitor = new SessionLockMonitor(this);
    connect(m_pSessionMonitor, &SessionLockMonitor::sessionLocked, this, [this] { handleSessionLock(true); });
    connect(m_pSessionMonitor, &SessionLockMonitor::sessionUnlocked, this, [this] { handleSessionLock(false); });
}

QVideoPreviewModuleWidget::~QVideoPreviewModuleWidget()
{
    m_tempRuleThread.quit();
    m_tempRuleThread.wait();
    m_videoThread.quit();
    m_videoThread.wait();
    delete m_pConnectingDlg;
    m_pConnectingDlg = nullptr;
}

void QVideoPreviewModuleWidget::buildLayout()
{
    // Top row: hosted modules (inserted later at index 0), the picture column, the right panel.
    m_pTopRowLayout = new QHBoxLayout;
    m_pTopRowLayout->setSpacing(0);
    m_pTopRowLayout->setContentsMargins(0, 0, 0, 0);

    buildPictureColumn();
    m_pTopRowLayout->addLayout(m_pPictureColumnLayout, 1);

    buildControlBar();
    buildRightPanel();
    m_pTopRowLayout->addWidget(m_pModuleWidget);

    m_pLine1Label = new QLabel(this);
    m_pLine1Label->setObjectName("Line1Label");
    m_pLine1Label->setFixedHeight(1);
    m_pLine1Label->hide();

    m_pOuterLayout = new QVBoxLayout(this);
    m_pOuterLayout->setSpacing(0);
    m_pOuterLayout->setContentsMargins(0, 0, 0, 0);
    m_pOuterLayout->addLayout(m_pTopRowLayout, 1);
    m_pOuterLayout->addWidget(m_pLine1Label);
    m_pOuterLayout->addWidget(m_pVideoCtrlWidget);
}

void QVideoPreviewModuleWidget::buildPictureColumn()
{
    m_pPictureColumnLayout = new QVBoxLayout;
    m_pPictureColumnLayout->setSpacing(0);
    m_pPictureColumnLayout->setContentsMargins(0, 0, 0, 0);

    m_pVideoRowLayout = new QHBoxLayout;
    m_pVideoRowLayout->setSpacing(0);
    m_pVideoRowLayout->setContentsMargins(24, 24, 12, 24);
    m_pPictureColumnLayout->addLayout(m_pVideoRowLayout, 1);

    m_pVideoWnd = new QVideoWndWidget(this);
    m_pVideoWnd->setWindowFlags(Qt::Widget);
    m_pVideoWnd->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pVideoRowLayout->insertWidget(0, m_pVideoWnd, 1);

    // The overlay is a window of its own: a plain child could not draw over the native
    // window the picture is rendered into.
    m_pOverlay = new QSceneViewCtrl(this);
    m_pOverlay->hide();
    // The hot spot marker keeps its state here but is laid over the picture by the renderer
    // (updateMarkerPicture); the overlay window itself does not draw it.
    if (m_pOverlay->marker())
        m_pOverlay->marker()->setOpacity(0.0);

    m_pTemperScaleWidget = new QWidget(this);
    m_pTemperScaleWidget->setObjectName("TemperScaleWidget");
    m_pTemperScaleWidget->setFixedWidth(80);
    m_pTemperScaleWidget->setAttribute(Qt::WA_NoSystemBackground);
    m_pTemperScaleWidget->setAutoFillBackground(false);
    auto* pScaleLayout = new QVBoxLayout(m_pTemperScaleWidget);
    pScaleLayout->setContentsMargins(0, 0, 0, 0);
    pScaleLayout->setSpacing(0);
    m_pRangeAdjust = new QTemperRangeAdjust(m_pTemperScaleWidget);
    // Centred, the scale would shrink to its labels; this keeps a readable bar and still fits
    // the smallest window.
    m_pRangeAdjust->setMinimumHeight(kScaleMinHeight);
    pScaleLayout->addWidget(m_pRangeAdjust, 0, Qt::AlignHCenter | Qt::AlignVCenter);
    m_pTemperScaleWidget->hide();
    m_pVideoRowLayout->addWidget(m_pTemperScaleWidget);

    const QString qStrUnit = ConfigStore::getTemperUnitText();
    m_pTopHoverLabel = new QUnitLabel(this);
    m_pBottomHoverLabel = new QUnitLabel(this);
    for (QUnitLabel* pLabel : {m_pTopHoverLabel, m_pBottomHoverLabel}) {
        pLabel->setValueText("0.0");
        pLabel->setUnitText(qStrUnit);
        pLabel->hide();
    }
}

void QVideoPreviewModuleWidget::buildControlBar()
{
    m_pVideoCtrlWidget = new QWidget(this);
    m_pVideoCtrlWidget->setObjectName("VideoCtrlWidget");
    m_pVideoCtrlWidget->setFixedHeight(46);
    m_pVideoCtrlWidget->setAttribute(Qt::WA_StyledBackground);
    auto* pLayout = new QHBoxLayout(m_pVideoCtrlWidget);
    pLayout->setContentsMargins(9, 0, 330, 0);
    pLayout->setSpacing(8);

    // Clarity readout and gain mode selector: present but never shown.
    m_pMaxGridLabel = new QLabel(langText("Best clarity"), m_pVideoCtrlWidget);
    m_pMaxGridLabel->setObjectName("MaxGridLabel");
    m_pMaxGridValue = new QLabel("0.0", m_pVideoCtrlWidget);
    m_pMaxGridValue->setObjectName("MaxGridValue");
    m_pMeanGridLabel = new QLabel(langText("Current clarity"), m_pVideoCtrlWidget);
    m_pMeanGridLabel->setObjectName("MeanGridLabel");
    m_pMeanGridValue = new QLabel("0.0", m_pVideoCtrlWidget);
    m_pMeanGridValue->setObjectName("MeanGridValue");
    for (QLabel* pLabel : {m_pMaxGridLabel, m_pMaxGridValue, m_pMeanGridLabel, m_pMeanGridValue}) {
        pLayout->addWidget(pLabel);
        pLabel->hide();
    }

    m_pGainModeLabel = new QLabel(langText("Temperature mode"), m_pVideoCtrlWidget);
    m_pGainModeLabel->setObjectName("gainModeSwitchLabel");
    m_pGainModeCombo = new QComboBox(m_pVideoCtrlWidget);
    m_pGainModeCombo->setObjectName("gainModeComboBox");
    m_pGainModeCombo->setFixedSize(140, 32);
    m_pGainModeCombo->setView(new QListView(m_pGainModeCombo));
    m_pGainModeCombo->addItem(langText("Auto"), 0);
    m_pGainModeCombo->addItem(langText("High temperature"), 1);
    m_pGainModeCombo->addItem(langText("Low temperature"), 2);
    pLayout->addWidget(m_pGainModeLabel);
    pLayout->addWidget(m_pGainModeCombo);
    m_pGainModeLabel->hide();
    m_pGainModeLabel->setEnabled(false);
    m_pGainModeCombo->hide();
    m_pGainModeCombo->setEnabled(false);

    pLayout->addStretch(1);

    m_pZoomLabel = new QLabel(langText("Zoom"), m_pVideoCtrlWidget);
    m_pZoomLabel->setObjectName("ZoomLabel");
    const QSize zoomBtnSize = QPixmap(":/Resource/Skin/Icon-increase_Normal.png").size();
    m_pZoomDownBtn = new QPushButton(m_pVideoCtrlWidget);
    m_pZoomDownBtn->setObjectName("ZoomDownBtn");
    m_pZoomDownBtn->setStyleSheet("QPushButton{border-image: url(:/Resource/Skin/Icon-decrease_Normal.png);}");
    m_pZoomDownBtn->setFixedSize(zoomBtnSize);
    m_pZoomSlider = new QSlider(Qt::Horizontal, m_pVideoCtrlWidget);
    m_pZoomSlider->setObjectName("ZoomSlider");
    m_pZoomSlider->setRange(0, 15);
    m_pZoomSlider->setValue(0);
    m_pZoomSlider->setMinimumWidth(60);
    m_pZoomUpBtn = new QPushButton(m_pVideoCtrlWidget);
    m_pZoomUpBtn->setObjectName("ZoomUpBtn");
    m_pZoomUpBtn->setStyleSheet("QPushButton{border-image: url(:/Resource/Skin/Icon-increase_Normal.png);}");
    m_pZoomUpBtn->setFixedSize(zoomBtnSize);
    m_pZoomScaleLabel = new QLabel("4x", m_pVideoCtrlWidget);
    m_pZoomScaleLabel->setObjectName("ZoomLabel");
    for (QWidget* pZoom : {static_cast<QWidget*>(m_pZoomDownBtn), static_cast<QWidget*>(m_pZoomSlider),
                           static_cast<QWidget*>(m_pZoomUpBtn)}) {
        pZoom->setEnabled(false);
        pZoom->setFocusPolicy(Qt::NoFocus);
    }
    pLayout->addWidget(m_pZoomLabel);
    pLayout->addWidget(m_pZoomDownBtn);
    pLayout->addWidget(m_pZoomSlider, 1);
    pLayout->addWidget(m_pZoomUpBtn);
    pLayout->addWidget(m_pZoomScaleLabel);
    pLayout->addSpacing(16);

    m_pFreezeBtn = makeImageButton(m_pVideoCtrlWidget, "ImageFreeze", "url(:/Resource/Skin/galleryIcon_freeze.png);",
                                   "url(:/Resource/Skin/galleryIcon_freeze.png);");
    m_pFreezeBtn->setFixedHeight(36);
    pLayout->addWidget(m_pFreezeBtn);
}

void QVideoPreviewModuleWidget::buildRightPanel()
{
    m_pModuleWidget = new QWidget(this);
    m_pModuleWidget->setObjectName("moduleWidget");
    m_pModuleWidget->setFixedWidth(290);
    m_pModuleWidget->setAttribute(Qt::WA_StyledBackground);
    // A window made small by its edges is shorter than the panel: the panel then scrolls
    // instead of squeezing its fixed-size buttons onto each other.
    auto* pPanelFrame = new QVBoxLayout(m_pModuleWidget);
    pPanelFrame->setContentsMargins(0, 0, 0, 0);
    auto* pScroll = new QScrollArea(m_pModuleWidget);
    pScroll->setObjectName("ModulePanelScroll");
    pScroll->setFrameShape(QFrame::NoFrame);
    pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pScroll->setWidgetResizable(true);
    pScroll->setStyleSheet(kPanelScrollStyle);
    pScroll->viewport()->setAutoFillBackground(false);
    auto* pContents = new QWidget;
    pContents->setObjectName("ModulePanelContents");
    pScroll->setWidget(pContents);
    pPanelFrame->addWidget(pScroll);
    auto* pPanel = new QVBoxLayout(pContents);
    pPanel->setContentsMargins(12, 12, 12, 12);
    pPanel->setSpacing(12);
    pPanel->setAlignment(Qt::AlignTop);

    auto* pLogo = new QLabel(m_pModuleWidget);
    pLogo->setObjectName("LogoTextLabel");
    pLogo->setFixedSize(160, 44);
    pPanel->addWidget(pLogo, 0, Qt::AlignHCenter);
    pPanel->addWidget(makeDivideLine(m_pModuleWidget));

    auto* pPseudoColor = new QLabel(langText("PseudoColor"), m_pModuleWidget);
    pPseudoColor->setObjectName("PseudoColorLabel");
    pPseudoColor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pPanel->addWidget(pPseudoColor);

    // Navigation column beside the palette column.
    auto* pNavPaletteRow = new QHBoxLayout;
    pNavPaletteRow->setContentsMargins(0, 0, 0, 0);
    auto* pNavColumn = new QVBoxLayout;
    pNavColumn->setSpacing(12);
    pNavColumn->setContentsMargins(0, 0, 0, 0);
    struct NavDef { const char* pszNormal; const char* pszHighlight; const char* pszKey; Qt::Alignment align; };
    const NavDef navDefs[3] = {
        {"url(:/Resource/Skin/video_preview_n.png);", "url(:/Resource/Skin/video_preview_p.png);", "VideoPreview",
         Qt::AlignTop},
        {"url(:/Resource/Skin/material_manage_n.png);", "url(:/Resource/Skin/material_manage_p.png);", "Settings",
         Qt::AlignVCenter},
        {"url(:/Resource/Skin/image_analyse_n.png);", "url(:/Resource/Skin/image_analyse_p.png);", "DeviceInfo",
         Qt::AlignBottom},
    };
    for (int i = 0; i < 3; ++i) {
        auto* pBtn = new QIconTextVBtn(m_pModuleWidget);
        pBtn->setImages(navDefs[i].pszNormal, navDefs[i].pszHighlight);
        pBtn->setToolTip(langText(navDefs[i].pszKey));
        pBtn->setFocusPolicy(Qt::NoFocus);
        pNavColumn->addWidget(pBtn, 0, navDefs[i].align | Qt::AlignHCenter);
        m_pNavBtns[i] = pBtn;
    }
    m_pNavBtns[0]->setHighlight(true);
    m_pNavBtns[0]->setEnabled(false);
    pNavPaletteRow->addLayout(pNavColumn);
    pNavPaletteRow->addStretch(1);

    auto* pPaletteColumn = new QVBoxLayout;
    pPaletteColumn->setSpacing(12);
    pPaletteColumn->setContentsMargins(0, 0, 0, 0);
    m_pWhiteHotBtn = makePaletteButton(m_pModuleWidget, "WhiteHot", "url(:/Resource/Skin/galleryIcon_Baire.png);");
    m_pBlackHotBtn = makePaletteButton(m_pModuleWidget, "BlackHot", "url(:/Resource/Skin/galleryIcon_Heire.png);");
    m_pIronRedBtn = makePaletteButton(m_pModuleWidget, "IronRed", "url(:/Resource/Skin/galleryIcon_Tiehong.png);");
    m_pRainbowBtn = makePaletteButton(m_pModuleWidget, "Rainbow", "url(:/Resource/Skin/galleryIcon_Rainbow.png);");
    for (QTextIconHBtn* pBtn : {m_pWhiteHotBtn, m_pBlackHotBtn, m_pIronRedBtn, m_pRainbowBtn}) {
        setPaletteBtnSelected(pBtn, false);
        pPaletteColumn->addWidget(pBtn);
    }
    // The other ten palettes, named after their look.
    m_pMorePaletteCombo = new QComboBox(m_pModuleWidget);
    m_pMorePaletteCombo->setObjectName("MorePaletteCombo");
    m_pMorePaletteCombo->setView(new QListView(m_pMorePaletteCombo));
    m_pMorePaletteCombo->addItem(langText("MorePalettes"), -1);
    for (int nId : PaletteNames::morePaletteIds())
        m_pMorePaletteCombo->addItem(langText(PaletteNames::byId(nId)->pszKey), nId);
    connect(m_pMorePaletteCombo, QOverload<int>::of(&QComboBox::activated), this, [this](int nIndex) {
        const int nId = m_pMorePaletteCombo->itemData(nIndex).toInt();
        if (nId >= 0)
            choosePalette(nId);
        restylePalette(m_nColorization);   // a refused choice shows the palette still in use
    });
    pPaletteColumn->addWidget(m_pMorePaletteCombo);
    pNavPaletteRow->addLayout(pPaletteColumn);
    pPanel->addLayout(pNavPaletteRow);
    pPanel->addWidget(makeDivideLine(m_pModuleWidget));

    // Image controls.
    m_pImageAdjustBtn = makeImageButton(m_pModuleWidget, "ImageRectification", "url(:/Resource/Skin/imagecorrect_n.png);",
                                        "url(:/Resource/Skin/imagecorrect_s.png);");
    m_pSuperResBtn = makeImageButton(m_pModuleWidget, "SuperRes", "url(:/Resource/Skin/superres_n.png);",
                                     "url(:/Resource/Skin/superres_s.png);");
    m_pSharpenBtn = makeImageButton(m_pModuleWidget, "Sharpening", "url(:/Resource/Skin/imagesharpen_n.png);",
                                    "url(:/Resource/Skin/imagesharpen_s.png);");
    m_pRotationBtn = makeImageButton(m_pModuleWidget, "ImageRotation", "url(:/Resource/Skin/imagerotate_n.png);",
                                     "url(:/Resource/Skin/imagerotate_s.png);");
    auto* pImageRow1 = new QHBoxLayout;
    pImageRow1->addWidget(m_pImageAdjustBtn);
    pImageRow1->addStretch(1);
    pImageRow1->addWidget(m_pSuperResBtn);
    auto* pImageRow2 = new QHBoxLayout;
    pImageRow2->addWidget(m_pSharpenBtn);
    pImageRow2->addStretch(1);
    pImageRow2->addWidget(m_pRotationBtn);
    pPanel->addLayout(pImageRow1);
    pPanel->addLayout(pImageRow2);
    for (QIconTextHBtn* pBtn : {m_pImageAdjustBtn, m_pSuperResBtn, m_pSharpenBtn, m_pRotationBtn, m_pFreezeBtn})
        setImageBtnSelected(pBtn, false);

    // Hot point switch.
    m_pLine3Label = makeDivideLine(m_pModuleWidget, "line3Label");
    m_pLine3Label->setStyleSheet("QLabel#line3Label{background-color:#555555;border:none;}");
    pPanel->addWidget(m_pLine3Label);
    auto* pHotRow = new QHBoxLayout;
    pHotRow->setSpacing(12);
    m_pHotPointSwitchLabel = new QLabel(langText("HotPoint"), m_pModuleWidget);
    m_pHotPointSwitchLabel->setObjectName("HotPointSwitchLabel");
    m_pHotPointSwitch = new SwitchButton(m_pModuleWidget);
    m_pHotPointSwitch->setFixedSize(48, 24);
    m_pHotPointSwitch->setBgColorOff(QColor("#6C7688"));
    m_pHotPointSwitch->setSliderColorOff(Qt::white);
    m_pHotPointSwitch->setBgColorOn(QColor("#E67E22"));
    m_pHotPointSwitch->setSliderColorOn(Qt::white);
    pHotRow->addStretch(1);
    pHotRow->addWidget(m_pHotPointSwitchLabel);
    pHotRow->addWidget(m_pHotPointSwitch);
    pHotRow->addStretch(1);
    pPanel->addLayout(pHotRow);
    auto* pColdRow = new QHBoxLayout;
    pColdRow->setSpacing(12);
    auto* pColdLabel = new QLabel(langText("ColdPoint"), m_pModuleWidget);
    pColdLabel->setObjectName("HotPointSwitchLabel");
    m_pColdPointSwitch = new SwitchButton(m_pModuleWidget);
    m_pColdPointSwitch->setFixedSize(48, 24);
    m_pColdPointSwitch->setBgColorOff(QColor("#6C7688"));
    m_pColdPointSwitch->setSliderColorOff(Qt::white);
    m_pColdPointSwitch->setBgColorOn(QColor("#1E90FF"));
    m_pColdPointSwitch->setSliderColorOn(Qt::white);
    pColdRow->addStretch(1);
    pColdRow->addWidget(pColdLabel);
    pColdRow->addWidget(m_pColdPointSwitch);
    pColdRow->addStretch(1);
    pPanel->addLayout(pColdRow);
    pPanel->addWidget(makeDivideLine(m_pModuleWidget));

    // Snapshot and record.
    m_pSnapshotBtn = new QIconTextHBtn(m_pModuleWidget);
    m_pSnapshotBtn->setObjectName("IconTextHBtn");
    m_pSnapshotBtn->setBtnText(langText("Snapshot"));
    m_pSnapshotBtn->setIconImages("url(:/Resource/Skin/video_screenshot.png);", "url(:/Resource/Skin/video_screenshot_s.png);",
                                  "url(:/Resource/Skin/video_screenshot_s.png);", "url(:/Resource/Skin/video_screenshot.png);");
    m_pSnapshotBtn->setFixedSize(kImageBtnWidth, kImageBtnHeight);
    fitLongTexts(m_pSnapshotBtn);
    m_pSnapshotBtn->setFocusPolicy(Qt::NoFocus);
    m_pRecordBtn = new QIconTextHBtn(m_pModuleWidget);
    m_pRecordBtn->setObjectName("IconTextHBtn");
    m_pRecordBtn->setBtnText(langText("Record"));
    m_pRecordBtn->setFixedSize(kImageBtnWidth, kImageBtnHeight);
    fitLongTexts(m_pRecordBtn);
    m_pRecordBtn->setFocusPolicy(Qt::NoFocus);
    setRecordIdleSetA();
    setImageBtnSelected(m_pSnapshotBtn, false);
    setImageBtnSelected(m_pRecordBtn, false);
    auto* pRecordRow = new QHBoxLayout;
    pRecordRow->addWidget(m_pSnapshotBtn);
    pRecordRow->addStretch(1);
    pRecordRow->addWidget(m_pRecordBtn);
    pPanel->addLayout(pRecordRow);
    pPanel->addWidget(makeDivideLine(m_pModuleWidget));

    // Connection.
    m_pConnectBtn = makeImageButton(m_pModuleWidget, "Connect Device", "url(:/Resource/Skin/connect_n.png);",
                                    "url(:/Resource/Skin/connect_s.png);");
    m_pStandbyBtn = makeImageButton(m_pModuleWidget, "Standby", "url(:/Resource/Skin/sleep_n.png);",
                                    "url(:/Resource/Skin/sleep_s.png);");
    setImageBtnSelected(m_pConnectBtn, false);
    setImageBtnSelected(m_pStandbyBtn, false);
    // The 6-pixel gap is the only spacing: more would widen the panel's least width past what
    // it shows beside its scroll bar.
    auto* pConnRow = new QHBoxLayout;
    pConnRow->setSpacing(0);
    pConnRow->addStretch(1);
    pConnRow->addWidget(m_pConnectBtn);
    pConnRow->addSpacing(6);
    pConnRow->addWidget(m_pStandbyBtn);
    pConnRow->addStretch(1);
    pPanel->addLayout(pConnRow);
}

void QVideoPreviewModuleWidget::readImageSettings()
{
    using ConfigStore::kGeneralGroup;
    m_nColorization = ConfigStore::value(kGeneralGroup, "Colorization").toInt();
    restylePalette(m_nColorization);
    m_pVideoPlay->setPaletteId(m_nColorization);

    // Only four directions exist; anything else in the file is taken as upright.
    m_nDirection = ConfigStore::value(kGeneralGroup, "Direction").toInt();
    if (m_nDirection < 0 || m_nDirection > 3)
        m_nDirection = 0;
    g_nDirection = m_nDirection;

    m_bSuperRes = ConfigStore::value(kGeneralGroup, "SuperRes").toInt() == 1;
    setImageBtnSelected(m_pSuperResBtn, m_bSuperRes);

    m_bSharpen = ConfigStore::value(kGeneralGroup, "Sharpness").toInt() == 1;
    setImageBtnSelected(m_pSharpenBtn, m_bSharpen);

    const bool bHotPoint = ConfigStore::value(kGeneralGroup, "HotPoint").toInt() == 1;
    m_pHotPointSwitch->setChecked(bHotPoint, false);
    setHotPointMarkerVisible(bHotPoint);
}

void QVideoPreviewModuleWidget::makeConnections()
{
    QVideoPlay* pPlay = m_pVideoPlay;
    QTempRule* pRule = m_pTempRule;

    // Page and engine.
    connect(this, SIGNAL(sendVideoPlaySignals(void*, bool)), pPlay, SLOT(setVideoPlaySlots(void*, bool)));
    connect(this, SIGNAL(sendSnapshotSignals(QString)), pPlay, SLOT(setDealSnapshotSlots(const QString)));
    connect(this, SIGNAL(sendStartRecordSignals()), pPlay, SLOT(setStartRecordSlots()));
    connect(this, SIGNAL(sendStopRecordSignals()), pPlay, SLOT(setStopRecordSlots()));
    connect(pPlay, SIGNAL(sendSnapshotResultSignals(int)), this, SLOT(setDealSnapshotResultSlots(int)));
    connect(pPlay, SIGNAL(sendRecordResultSignals(int)), this, SLOT(setDealRecordResultSlots(const int)));
    connect(pPlay, SIGNAL(sendVideoWidgetUpdateSignal(bool)), this, SLOT(setVideoWidgetUpdateSlot(bool)));
    connect(pPlay, SIGNAL(sendSuperResRefusedSignal()), this, SLOT(setSuperResRefusedSlot()));

    // Page and thermal data worker.
    connect(this, SIGNAL(SendTimerStatusSignals(bool)), pRule, SLOT(GetTimerStatusSlot(bool)));
    connect(pRule, SIGNAL(SendHotPointSignal(ThermHotPointParam)), this, SLOT(setHotPointSlot(ThermHotPointParam)));
    connect(pRule, SIGNAL(SendYDataSignals(uint, uint)), this, SLOT(SetYDataSlot(uint, uint)));
    connect(pRule, SIGNAL(SendFocusValueSignal(float, float)), this, SLOT(GetFocusValueSlot(float, float)));

    // Between the two workers.
    connect(pPlay, SIGNAL(sendCalcuYDataSignal(unsigned char*, int)), pRule, SLOT(getYuvData(unsigned char*,int)));
    connect(pPlay, SIGNAL(sendFocusYUVDataSignals(unsigned char*)), pRule, SLOT(GetVideoYuvData(unsigned char*)));
    connect(pRule, SIGNAL(SendHotPointSignal(ThermHotPointParam)), pPlay, SLOT(JudgeRatioRangeSlot(ThermHotPointParam)));

    // Temperature scale.
    // The adjuster shows corrected temperatures; the engine compares with the camera's own.
    connect(m_pRangeAdjust, &QTemperRangeAdjust::sendIsoTemperSignal, this, [pPlay](float fLow, float fHigh) {
        const Measure::Emissivity emissivity = Measure::loadEmissivity();
        QMetaObject::invokeMethod(pPlay, "setIsoTemperSlot", Qt::QueuedConnection,
                                  Q_ARG(float, emissivity.measuredFrom(fLow)), Q_ARG(float, emissivity.measuredFrom(fHigh)));
    });
    connect(m_pRangeAdjust, SIGNAL(sendIsoTemperSignal(float, float)), this,
            SLOT(setCurHoverLabelTemperRangeSlot(float, float)));
    connect(m_pRangeAdjust, SIGNAL(sendTopTemperHoverLabelVisibleSignal(bool)), this,
            SLOT(setTopTemperHoverLabelVisibleSlot(bool)));
    connect(m_pRangeAdjust, SIGNAL(sendBottomTemperHoverLabelVisibleSignal(bool)), this,
            SLOT(setBottomTemperHoverLabelVisibleSlot(bool)));
    connect(m_pRangeAdjust, SIGNAL(sendTopTemperHoverLabelPosSignal(QPoint)), this,
            SLOT(setTopTemperHoverLabelPosSlot(QPoint)));
    connect(m_pRangeAdjust, SIGNAL(sendBottomTemperHoverLabelPosSignal(QPoint)), this,
            SLOT(setBottomTemperHoverLabelPosSlot(QPoint)));

    // Own widgets.
    connect(m_pNavBtns[0], SIGNAL(clicked()), this, SLOT(onNavVideoPreviewClicked()));
    connect(m_pNavBtns[1], SIGNAL(clicked()), this, SLOT(onNavSettingsClicked()));
    connect(m_pNavBtns[2], SIGNAL(clicked()), this, SLOT(onNavDeviceInfoClicked()));
    connect(m_pConnectBtn, SIGNAL(clicked()), this, SLOT(setConnectDevBtnSlots()));
    connect(m_pStandbyBtn, SIGNAL(clicked()), this, SLOT(setStandbyModeBtnSlots()));
    connect(m_pSnapshotBtn, SIGNAL(clicked()), this, SLOT(setScreenshotBtnSlots()));
    connect(m_pRecordBtn, SIGNAL(clicked()), this, SLOT(setVideoRecordBtnSlots()));
    connect(m_pWhiteHotBtn, SIGNAL(clicked()), this, SLOT(SetWhiteHotColorSlots()));
    connect(m_pBlackHotBtn, SIGNAL(clicked()), this, SLOT(SetBlackHotColorSlots()));
    connect(m_pIronRedBtn, SIGNAL(clicked()), this, SLOT(SetIronRedColorSlots()));
    connect(m_pRainbowBtn, SIGNAL(clicked()), this, SLOT(SetRainbowColorSlots()));
    connect(m_pHotPointSwitch, SIGNAL(checkedChanged(bool)), this, SLOT(setHotPointSwitchSlots(bool)));
    connect(m_pRotationBtn, SIGNAL(clicked()), this, SLOT(setImageRotationBtnSlots()));
    connect(m_pSharpenBtn, SIGNAL(clicked()), this, SLOT(setSharpeningBtnSlots()));
    connect(m_pSuperResBtn, SIGNAL(clicked()), this, SLOT(setSuperResBtnSlots()));
    connect(m_pImageAdjustBtn, SIGNAL(clicked()), this, SLOT(setImageAdjustBtnSlots()));
    connect(m_pZoomUpBtn, SIGNAL(clicked()), this, SLOT(VideoZoomUpSlots()));
    connect(m_pZoomDownBtn, SIGNAL(clicked()), this, SLOT(VideoZoomDownSlots()));
    connect(m_pZoomSlider, SIGNAL(valueChanged(int)), this, SLOT(SliderValueChangedSlots(int)));
    connect(m_pFreezeBtn, SIGNAL(clicked()), this, SLOT(setImageFreezeBtnSlots()));
    connect(m_pGainModeCombo, SIGNAL(activated(int)), this, SLOT(setGainmodeComboxSelectSlots(int)));

    // Threads own their workers' lifetime.
    connect(&m_videoThread, SIGNAL(finished()), pPlay, SLOT(deleteLater()));
    connect(&m_tempRuleThread, SIGNAL(finished()), pRule, SLOT(deleteLater()));

    connect(m_pConnectCheckTimer, SIGNAL(timeout()), this, SLOT(CheckProgressSlot()));
    connect(m_pOverlayTimer, &QTimer::timeout, this, &QVideoPreviewModuleWidget::placeOverlay);
}

// ---------------------------------------------------------------------------------------
// Small helpers

bool QVideoPreviewModuleWidget::isConnected() const { return UsbCameraLink::instance().bStreaming.load(); }

void QVideoPreviewModuleWidget::showGuardMessage(const char* pszKey)
{
    QMessageboxDlg::showMessage(this, langText(pszKey));
}

bool QVideoPreviewModuleWidget::passCommonGuard()
{
    if (!isConnected()) {
        showGuardMessage("Device is not connect.");
        return false;
    }
    if (refuseWhileUpgrading())
        return false;
    if (g_bStandby) {
        showGuardMessage("Device is sleeping, please turn off sleep mode");
        return false;
    }
    return true;
}

bool QVideoPreviewModuleWidget::passCommandGuard()
{
    if (!passCommonGuard())
        return false;
    if (cameraStreamOnly()) {
        showGuardMessage(kStreamOnlyStatusKey);
        return false;
    }
    return true;
}

bool QVideoPreviewModuleWidget::refuseWhileUpgrading()
{
    if (m_bUpgrading)
        showGuardMessage("Device is upgrading.");
    return m_bUpgrading;
}

void QVideoPreviewModuleWidget::SetDisableBtnSlot(bool bFlag) { m_bUpgrading = bFlag; }

int QVideoPreviewModuleWidget::currentMainModule() const
{
    return g_pMainWindow ? g_pMainWindow->currentModule() : m_nCurModule;
}

void QVideoPreviewModuleWidget::setImageBtnSelected(QIconTextBtnBase* pBtn, bool bSelected)
{
    pBtn->setStyleSheet(bSelected ? kSelectedBtnStyle : kUnselectedBtnStyle);
    pBtn->setSelected(bSelected);
}

void QVideoPreviewModuleWidget::setPaletteBtnSelected(QTextIconHBtn* pBtn, bool bSelected)
{
    pBtn->setStyleSheet(bSelected ? kSelectedPaletteStyle : kUnselectedPaletteStyle);
}

void QVideoPreviewModuleWidget::setHotPointMarkerVisible(bool bVisible)
{
    if (m_pOverlay && m_pOverlay->marker()) {
        m_pOverlay->marker()->setVisible(bVisible);
        updateOverlayMask();
    }
}

void QVideoPreviewModuleWidget::setScalePartsVisible(bool bVisible)
{
    m_pRangeAdjust->setPartsVisible(bVisible);
    m_pTemperScaleWidget->setVisible(bVisible);
}

void QVideoPreviewModuleWidget::placeRangeHandles()
{
    // The column may just have been shown: let the layouts settle before placing.
    for (QWidget* pWidget : {static_cast<QWidget*>(this), m_pTemperScaleWidget, static_cast<QWidget*>(m_pRangeAdjust)}) {
        if (QLayout* pLayout = pWidget->layout())
            pLayout->activate();
    }
    m_pRangeAdjust->placeHandles();
}

QTextIconHBtn* QVideoPreviewModuleWidget::paletteButton(int nIndex) const
{
    switch (nIndex) {
    case 0: return m_pWhiteHotBtn;
    case 1: return m_pBlackHotBtn;
    case 2: return m_pIronRedBtn;
    case 3: return m_pRainbowBtn;
    default: return nullptr;
    }
}

QIconTextVBtn* QVideoPreviewModuleWidget::navButton(int nIndex) const
{
    return nIndex >= 0 && nIndex < 3 ? m_pNavBtns[nIndex] : nullptr;
}

// ---------------------------------------------------------------------------------------
// Navigation and module hosting

void QVideoPreviewModuleWidget::onNavVideoPreviewClicked()
{
    if (m_bLocked || refuseWhileUpgrading())
        return;
    emit sendSwitchModuleSignal(0);
    m_nCurModule = 0;
}

void QVideoPreviewModuleWidget::onNavSettingsClicked()
{
    if (m_bLocked || refuseWhileUpgrading())
        return;
    emit sendSwitchModuleSignal(1);
    m_nCurModule = 1;
}

void QVideoPreviewModuleWidget::onNavDeviceInfoClicked()
{
    if (m_bLocked || refuseWhileUpgrading())
        return;
    emit sendSwitchModuleSignal(2);
    m_nCurModule = 2;
}

void QVideoPreviewModuleWidget::selectNavButton(int nIndex)
{
    if (nIndex < 0 || nIndex > 2)
        return;
    for (int i = 0; i < 3; ++i) {
        const bool bCurrent = i == nIndex;
        m_pNavBtns[i]->setEnabled(!bCurrent);
        m_pNavBtns[i]->setHighlight(bCurrent);
    }
}

void QVideoPreviewModuleWidget::setLiveViewVisible(bool bShow)
{
    m_pVideoWnd->setVisible(bShow);
    const bool bLive = bShow && isConnected() && !m_bStandby;
    m_pTemperScaleWidget->setVisible(bLive);
    m_pRangeAdjust->setPartsVisible(bLive);
    m_pOverlay->setVisible(bLive);
    if (m_pMeasureLayer)
        m_pMeasureLayer->setLive(isConnected() && !m_bStandby);
    setHotPointMarkerVisible(m_pHotPointSwitch->isChecked() && isConnected() && !m_bStandby);

    QTimer::singleShot(0, this, [this] {
        if (m_pTemperScaleWidget->isVisible())
            placeRangeHandles();
        update();
    });
}

void QVideoPreviewModuleWidget::addModuleWidget(QWidget* pWidget)
{
    if (!pWidget)
        return;
    m_pTopRowLayout->insertWidget(0, pWidget);
    m_moduleWidgets.append(pWidget);
    pWidget->installEventFilter(this);
    if (QLayout* pLayout = pWidget->layout()) {
        const QMargins outer = m_pOuterLayout->contentsMargins();
        pLayout->setContentsMargins(outer.left() + 40, outer.top() + 40, 16, outer.bottom() + 40);
    }
    if (pWidget->objectName().isEmpty())
        pWidget->setObjectName("MiddleModuleWidget");
    pWidget->setAttribute(Qt::WA_StyledBackground);
    pWidget->setStyleSheet(QString("QWidget#%1 { background-color: transparent; }").arg(pWidget->objectName()));
}

// ---------------------------------------------------------------------------------------
// Painting

void QVideoPreviewModuleWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPageGrid(painter, size());

    if (m_pVideoWnd->isVisible()) {
        QRect rect = m_pVideoWnd->geometry();
        if (m_pTemperScaleWidget->isVisible())
            rect = rect.united(m_pTemperScaleWidget->geometry());
        paintChamferFrame(painter, rect);
    }

    const QMargins margins = m_pPictureColumnLayout->contentsMargins();
    const int nPanelX = m_pModuleWidget->mapTo(this, QPoint(0, 0)).x();
    for (QWidget* pModule : m_moduleWidgets) {
        if (!pModule->isVisible())
            continue;
        paintModuleFrame(painter, margins.left(), margins.top(), margins.bottom(), pModule->mapTo(this, QPoint(0, 0)),
                         pModule->height(), nPanelX);
    }
}

bool QVideoPreviewModuleWidget::eventFilter(QObject* watched, QEvent* event)
{
    // The frames painted around the picture and the hosted modules follow their geometry.
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// Declared for the page's slot table; nothing connects them.
void QVideoPreviewModuleWidget::setJudgeDevConnStatusTimer() {}
void QVideoPreviewModuleWidget::setPlayAlarmSoundSlots() {}
void QVideoPreviewModuleWidget::setShowImage(char*) {}
