#include "alarms/QTrendPanel.h"

#include "alarms/AlarmMonitor.h"
#include "alarms/AlarmRuleStore.h"
#include "alarms/InspectionReport.h"
#include "alarms/TrendChart.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/Version.h"
#include "measure/MeasureSettings.h"
#include "video/ThermImageContext.h"
#include "video/QVideoPlay.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kSampleIntervalMs = 500;
constexpr int kBins = 32;
// Through the client's language table; inside the widget classes a bare tr() would be QObject's.
QString uiText(const char* pszKey) { return langText(QString::fromLatin1(pszKey)); }
} // namespace

QTrendPanel::QTrendPanel(AlarmMonitor* pMonitor, QVideoPlay* pEngine, QWidget* parent)
    : QWidget(parent, Qt::Window), m_pMonitor(pMonitor), m_pEngine(pEngine)
{
    setObjectName("TrendPanel");
    setWindowTitle(uiText("TemperDistribute"));
    resize(900, 640);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addStretch(1);   // the charts are painted above the controls
    m_pNotes = new QPlainTextEdit(this);
    m_pNotes->setPlaceholderText(uiText("TextNote"));
    m_pNotes->setFixedHeight(60);
    pLayout->addWidget(m_pNotes);
    auto* pRow = new QHBoxLayout;
    pRow->addStretch(1);
    auto* pCsv = new QPushButton(uiText("ExportTrend"), this);
    auto* pReport = new QPushButton(uiText("ExportReport"), this);
    for (QPushButton* pBtn : {pCsv, pReport}) {
        pBtn->setObjectName("BtnStyle1");
        pBtn->setFixedSize(160, 32);
        pRow->addWidget(pBtn);
    }
    pLayout->addLayout(pRow);
    const auto run = [this](const QString& qStrFilter, const QString& qStrSuffix, auto write) {
        const QString qStrPath = QFileDialog::getSaveFileName(this, QString(),
                                                              ConfigStore::getManualSnapshotPath() + "/" +
                                                                  ConfigStore::getDateTimeName() + qStrSuffix,
                                                              qStrFilter);
        if (qStrPath.isEmpty())
            return;
        QString error;
        const bool bOk = write(qStrPath, &error);
        QTimerMessageboxWidget::showNotice(uiText(bOk ? "Export successful" : "Export failed"), bOk ? 0 : 1, 2000);
    };
    connect(pCsv, &QPushButton::clicked, this, [this, run] {
        run(QStringLiteral("CSV (*.csv)"), QStringLiteral(".csv"),
            [this](const QString& p, QString* e) { return exportTrendCsv(p, e); });
    });
    connect(pReport, &QPushButton::clicked, this, [this, run] {
        run(QStringLiteral("PDF (*.pdf)"), QStringLiteral(".pdf"),
            [this](const QString& p, QString* e) { return exportReport(p, e); });
    });
    m_pRepaint = new QTimer(this);
    connect(m_pRepaint, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
}

QTrendPanel::~QTrendPanel() { QObject::disconnect(m_Tap); }

void QTrendPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_pEngine && !m_Tap) {
        m_Tap = connect(
            m_pEngine, &QVideoPlay::sendCalcuYDataSignal, m_pEngine,
            [this](unsigned char* p, int nScale) {
                if (m_pEngine)
                    takeFrame(p, m_pEngine->frameWidth() * nScale, m_pEngine->frameHeight() * nScale);
            },
            Qt::DirectConnection);
    }
    m_pRepaint->start(kSampleIntervalMs);
}

void QTrendPanel::hideEvent(QHideEvent* event)
{
    QObject::disconnect(m_Tap);
    m_Tap = QMetaObject::Connection();
    m_pRepaint->stop();
    QWidget::hideEvent(event);
}

void QTrendPanel::takeFrame(const unsigned char* pUyvy, int nWidth, int nHeight)
{
    const qint64 nNow = QDateTime::currentMSecsSinceEpoch();
    QMutexLocker lock(&m_FrameMutex);
    if (!pUyvy || nWidth < 1 || nHeight < 1 || nNow - m_nLastTakeMs < kSampleIntervalMs)
        return;
    m_nLastTakeMs = nNow;
    m_Luma.resize(nWidth * nHeight);
    char* pOut = m_Luma.data();
    for (int i = 0; i < nWidth * nHeight; ++i)
        pOut[i] = char(pUyvy[2 * i + 1]);
    m_nWidth = nWidth;
    m_nHeight = nHeight;
}

Alarm::Histogram QTrendPanel::histogram() const
{
    QMutexLocker lock(&m_FrameMutex);
    const auto* pLuma = reinterpret_cast<const uint8_t*>(m_Luma.constData());
    const ThermImageContext& ctx = ThermImageContext::instance();
    const Measure::LumaModel model = Measure::modelOf(pLuma, size_t(m_Luma.size()), ctx.m_fSceneMin, ctx.m_fSceneMax);
    return Alarm::frameHistogram(Measure::LumaPlane{pLuma, m_nWidth, m_nHeight, 1}, model, Measure::loadEmissivity(), kBins);
}

bool QTrendPanel::exportTrendCsv(const QString& qStrPath, QString* pError) const
{
    QFile file(qStrPath);
    const QByteArray bytes = m_pMonitor ? m_pMonitor->trend().toCsv().toUtf8() : QByteArray();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()) {
        if (pError)
            *pError = file.errorString();
        return false;
    }
    return true;
}

bool QTrendPanel::exportReport(const QString& qStrPath, QString* pError) const
{
    Alarm::ReportData data;
    data.qStrTitle = uiText("TestReport");
    data.time = QDateTime::currentDateTime();
    data.qStrSoftware = QString::fromLatin1(thermavaVersion());
    data.nUnit = ConfigStore::getTemperUnit();
    data.qStrUnit = ConfigStore::getTemperUnitText();
    data.qStrNotes = m_pNotes->toPlainText();
    if (m_pMonitor) {
        data.events = m_pMonitor->sessionEvents();
        data.trend = m_pMonitor->trend().samples();
        data.rules = m_pMonitor->rules();
        // The session's snapshots, with the items and temperatures they carry.
        for (const Alarm::LogEntry& e : data.events) {
            for (const QString& qStrFile : e.files) {
                Alarm::ReportSnapshot snap;
                if (qStrFile.endsWith(QLatin1String(".jpg")) && Alarm::loadReportSnapshot(qStrFile, &snap, nullptr)) {
                    if (data.qStrPart.isEmpty()) {
                        data.qStrPart = snap.qStrPart;
                        data.qStrSerial = snap.qStrSerial;
                    }
                    data.snapshots << snap;
                }
            }
        }
    }
    return Alarm::writeReport(data, qStrPath, pError);
}

QRect QTrendPanel::chartArea() const { return QRect(10, 10, width() - 20, (height() - 140) * 3 / 5); }
QRect QTrendPanel::histogramArea() const
{
    const QRect c = chartArea();
    return QRect(10, c.bottom() + 10, width() - 20, height() - 140 - c.height() - 10);
}

void QTrendPanel::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0x26, 0x26, 0x26));
    painter.setPen(Qt::lightGray);
    const int nUnit = ConfigStore::getTemperUnit();
    if (m_pMonitor)
        Alarm::drawTrendChart(painter, chartArea(), m_pMonitor->trend().samples(), m_pMonitor->rules(), nUnit,
                              ConfigStore::getTemperUnitText());
    Alarm::drawHistogram(painter, histogramArea(), histogram(), nUnit, ConfigStore::getTemperUnitText());
}
