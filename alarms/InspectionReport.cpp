#include "alarms/InspectionReport.h"

#include "alarms/AlarmRuleStore.h"
#include "alarms/TrendChart.h"
#include "app/LangTable.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace Alarm {

namespace {

QString text(const char* pszKey, const char* pszEnglish)
{
    const QString t = langText(QString::fromLatin1(pszKey));
    return t.isEmpty() ? QString::fromUtf8(pszEnglish) : t;
}

// Lays out text top to bottom on pages of the writer, in device units.
class Pages
{
public:
    Pages(QPdfWriter& writer, QPainter& painter) : m_Writer(writer), m_Painter(painter)
    {
        m_nDpi = writer.resolution();
        m_Page = QRectF(0, 0, painter.device()->width(), painter.device()->height());
        m_fY = 0;
    }
    qreal mm(qreal f) const { return f * m_nDpi / 25.4; }
    QRectF page() const { return m_Page; }
    qreal y() const { return m_fY; }
    void newPage()
    {
        m_Writer.newPage();
        m_fY = 0;
    }
    void ensure(qreal fHeight)
    {
        if (m_fY + fHeight > m_Page.height())
            newPage();
    }
    void line(const QString& qStrText, qreal fPt = 10, bool bBold = false)
    {
        QFont font(QStringLiteral("Sans"));
        font.setPointSizeF(fPt);
        font.setBold(bBold);
        m_Painter.setFont(font);
        const QRectF bounds =
            m_Painter.boundingRect(QRectF(0, 0, m_Page.width(), 1e6), Qt::TextWordWrap, qStrText);
        ensure(bounds.height());
        m_Painter.drawText(QRectF(0, m_fY, m_Page.width(), bounds.height()), Qt::TextWordWrap, qStrText);
        m_fY += bounds.height() + mm(1.5);
    }
    // A row of cells of the given relative widths.
    void row(const QStringList& cells, const QList<qreal>& widths, bool bBold = false)
    {
        QFont font(QStringLiteral("Sans"));
        font.setPointSizeF(9);
        font.setBold(bBold);
        m_Painter.setFont(font);
        const qreal h = mm(6);
        ensure(h);
        qreal x = 0, total = 0;
        for (qreal w : widths)
            total += w;
        for (int i = 0; i < cells.size() && i < widths.size(); ++i) {
            const qreal w = m_Page.width() * widths[i] / total;
            m_Painter.drawRect(QRectF(x, m_fY, w, h));
            m_Painter.drawText(QRectF(x + mm(1), m_fY, w - mm(2), h), Qt::AlignVCenter | Qt::AlignLeft, cells[i]);
            x += w;
        }
        m_fY += h;
    }
    QRectF take(qreal fHeight)
    {
        ensure(fHeight);
        const QRectF r(0, m_fY, m_Page.width(), fHeight);
        m_fY += fHeight + mm(3);
        return r;
    }
    void gap(qreal fMm) { m_fY += mm(fMm); }

private:
    QPdfWriter& m_Writer;
    QPainter& m_Painter;
    int m_nDpi = 300;
    QRectF m_Page;
    qreal m_fY = 0;
};

QString temper(float fCelsius, const ReportData& data)
{
    if (!std::isfinite(fCelsius))
        return QStringLiteral("-");   // an item outside the picture has no reading
    return QStringLiteral("%1 %2").arg(double(toUnit(fCelsius, data.nUnit)), 0, 'f', 1).arg(data.qStrUnit);
}

void drawSnapshot(QPainter& painter, const QRectF& area, const ReportSnapshot& snap)
{
    if (snap.image.isNull())
        return;
    const QSizeF size = QSizeF(snap.image.size()).scaled(area.size(), Qt::KeepAspectRatio);
    const QRectF target(area.left() + (area.width() - size.width()) / 2, area.top(), size.width(), size.height());
    painter.drawImage(target, snap.image);
    const QSize grid = snap.cameraSize.isEmpty() ? snap.image.size() : snap.cameraSize;
    const bool bSideways = snap.nRotation % 2 == 1;
    const qreal sx = target.width() / (bSideways ? grid.height() : grid.width());
    const qreal sy = target.height() / (bSideways ? grid.width() : grid.height());
    painter.save();
    painter.setPen(QPen(QColor(0x00, 0xe0, 0x40), 2));
    QFont font(QStringLiteral("Sans"));
    font.setPointSizeF(7);
    painter.setFont(font);
    for (const ReportItem& item : snap.items) {
        // Pixel centres of the camera grid, turned as the picture was.
        const auto map = [&](const QPoint& p) {
            const qreal x = p.x() + 0.5, y = p.y() + 0.5, w = grid.width(), h = grid.height();
            QPointF q(x, y);
            switch (snap.nRotation) {
            case 1: q = QPointF(h - y, x); break;
            case 2: q = QPointF(w - x, h - y); break;
            case 3: q = QPointF(y, w - x); break;
            default: break;
            }
            return QPointF(target.left() + q.x() * sx, target.top() + q.y() * sy);
        };
        const QRectF r = QRectF(map(item.pt1), map(item.pt2)).normalized();
        if (item.qStrKind == QLatin1String("rect")) {
            painter.drawRect(r);
        } else if (item.qStrKind == QLatin1String("line")) {
            painter.drawLine(map(item.pt1), map(item.pt2));
        } else {
            const QPointF c = map(item.pt1);
            painter.drawLine(c - QPointF(3 * sx, 0), c + QPointF(3 * sx, 0));
            painter.drawLine(c - QPointF(0, 3 * sy), c + QPointF(0, 3 * sy));
        }
        painter.drawText(r.topLeft() + QPointF(2, -2), item.qStrName);
    }
    painter.restore();
}

// The text of the JPEG's comment segments (COM, 0xFFFE), in order.
QList<QByteArray> jpegComments(const QByteArray& bytes)
{
    QList<QByteArray> comments;
    int i = 2;
    if (bytes.size() < 4 || uchar(bytes[0]) != 0xFF || uchar(bytes[1]) != 0xD8)
        return comments;
    while (i + 4 <= bytes.size() && uchar(bytes[i]) == 0xFF) {
        const uchar marker = uchar(bytes[i + 1]);
        if (marker == 0xDA || marker == 0xD9)
            break;   // the picture data follows; no segments after it matter
        const int nLen = (uchar(bytes[i + 2]) << 8) | uchar(bytes[i + 3]);
        if (nLen < 2 || i + 2 + nLen > bytes.size())
            break;
        if (marker == 0xFE)
            comments << bytes.mid(i + 4, nLen - 2);
        i += 2 + nLen;
    }
    return comments;
}

} // namespace

bool loadReportSnapshot(const QString& qStrFile, ReportSnapshot* pSnapshot, QString* pError)
{
    QFile file(qStrFile);
    if (!file.open(QIODevice::ReadOnly)) {
        if (pError)
            *pError = QStringLiteral("cannot read %1: %2").arg(qStrFile, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    ReportSnapshot snap;
    snap.qStrFile = qStrFile;
    if (!snap.image.loadFromData(bytes)) {
        if (pError)
            *pError = QStringLiteral("%1 is not a picture").arg(qStrFile);
        return false;
    }
    snap.time = QFileInfo(qStrFile).lastModified();
    // The measurement block: a comment that starts with its tag, then JSON.
    const QByteArray kTag = "thermava-measure ";
    for (const QByteArray& comment : jpegComments(bytes)) {
        if (!comment.startsWith(kTag))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(comment.mid(kTag.size())).object();
        const QDateTime time = QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs);
        if (time.isValid())
            snap.time = time;
        const QJsonObject camera = o.value("camera").toObject();
        snap.qStrPart = camera.value("part").toString();
        snap.qStrSerial = camera.value("serial").toString();
        snap.fEmissivity = o.value("emissivity").toDouble(1.0);
        snap.fReflected = o.value("reflected").toDouble(20.0);
        const QJsonObject scene = o.value("scene").toObject();
        snap.fSceneMin = float(scene.value("min").toDouble());
        snap.fSceneMax = float(scene.value("max").toDouble());
        snap.nRotation = o.value("rotation").toInt() & 3;
        const QJsonObject picture = o.value("picture").toObject();
        const int nScale = std::max(1, picture.value("scale").toInt(1));
        const QSize size(picture.value("width").toInt() / nScale, picture.value("height").toInt() / nScale);
        snap.cameraSize = snap.nRotation % 2 ? size.transposed() : size;
        for (const QJsonValue& v : o.value("items").toArray()) {
            const QJsonObject io = v.toObject();
            const QJsonArray g = io.value("geometry").toArray();
            ReportItem item;
            item.qStrName = io.value("name").toString();
            item.qStrKind = io.value("kind").toString();
            item.pt1 = QPoint(g.at(0).toInt(), g.at(1).toInt());
            item.pt2 = QPoint(g.at(2).toInt(), g.at(3).toInt());
            item.fMax = float(io.value("max").toDouble(qQNaN()));
            item.fMin = float(io.value("min").toDouble(qQNaN()));
            item.fAvg = float(io.value("avg").toDouble(qQNaN()));
            snap.items << item;
        }
    }
    *pSnapshot = snap;
    return true;
}

ReportTexts ReportTexts::current()
{
    ReportTexts t;
    t.qStrCover = text("CoverPage", "Cover page");
    t.qStrTime = text("ReportTime", "Report time");
    t.qStrPart = text("DevicePart", "Device Type");
    t.qStrSerial = text("DeviceSN", "S/N");
    t.qStrSoftware = text("Version", "Version");
    t.qStrContents = text("ReportContents", "Contents");
    t.qStrMax = text("Max Temp", "Max Temp");
    t.qStrMin = text("Min Temp", "Min Temp");
    t.qStrAvg = text("AVG Temp", "AVG Temp");
    t.qStrEmissivity = text("Emissivity", "Emissivity");
    t.qStrReflected = text("ReflexTemper", "Reflected temperature");
    t.qStrEvents = text("Alarm Type", "Alarms");
    t.qStrTrend = text("TemperDistribute", "Temperature trend");
    t.qStrNotes = text("TextNote", "Notes");
    return t;
}

bool writeReport(const ReportData& data, const QString& qStrPdf, QString* pError)
{
    const ReportTexts t = ReportTexts::current();
    {
        QFile probe(qStrPdf);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (pError)
                *pError = QStringLiteral("cannot write %1: %2").arg(qStrPdf, probe.errorString());
            return false;
        }
    }
    QPdfWriter writer(qStrPdf);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(data.qStrTitle);
    writer.setCreator(QStringLiteral("Thermava ") + data.qStrSoftware);
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (pError)
            *pError = QStringLiteral("cannot write %1").arg(qStrPdf);
        return false;
    }
    Pages pages(writer, painter);
    painter.setPen(Qt::black);

    // Cover.
    pages.gap(40);
    pages.line(data.qStrTitle, 24, true);
    pages.gap(8);
    pages.line(QStringLiteral("%1: %2").arg(t.qStrTime, data.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))), 12);
    pages.line(QStringLiteral("%1: %2").arg(t.qStrPart, data.qStrPart), 12);
    pages.line(QStringLiteral("%1: %2").arg(t.qStrSerial, data.qStrSerial), 12);
    pages.line(QStringLiteral("%1: %2").arg(t.qStrSoftware, data.qStrSoftware), 12);
    pages.gap(8);
    pages.line(t.qStrContents, 12, true);
    for (int i = 0; i < data.snapshots.size(); ++i)
        pages.line(QStringLiteral("%1. %2").arg(i + 1).arg(QFileInfo(data.snapshots[i].qStrFile).fileName()), 10);
    pages.line(QStringLiteral("%1. %2, %3, %4").arg(data.snapshots.size() + 1).arg(t.qStrEvents, t.qStrTrend, t.qStrNotes), 10);

    // One page per snapshot.
    const QList<qreal> widths = {3, 2, 2, 2};
    for (const ReportSnapshot& snap : data.snapshots) {
        pages.newPage();
        pages.line(QFileInfo(snap.qStrFile).fileName(), 14, true);
        pages.line(snap.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), 10);
        drawSnapshot(painter, pages.take(pages.mm(110)), snap);
        pages.line(QStringLiteral("%1: %2    %3: %4").arg(t.qStrEmissivity).arg(snap.fEmissivity, 0, 'f', 2)
                       .arg(t.qStrReflected, temper(float(snap.fReflected), data)), 10);
        pages.row({QString(), t.qStrMax, t.qStrMin, t.qStrAvg}, widths, true);
        pages.row({QStringLiteral("Scene"), temper(snap.fSceneMax, data), temper(snap.fSceneMin, data), QString()}, widths);
        for (const ReportItem& item : snap.items)
            pages.row({item.qStrName, temper(item.fMax, data), temper(item.fMin, data), temper(item.fAvg, data)}, widths);
    }

    // Alarms, trend, notes.
    pages.newPage();
    pages.line(t.qStrEvents, 14, true);
    const QList<qreal> eventWidths = {3, 1, 5, 2};
    if (data.events.isEmpty()) {
        pages.line(QStringLiteral("-"), 10);
    } else {
        for (const LogEntry& e : data.events)
            pages.row({e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.bStart ? QStringLiteral("start") : QStringLiteral("end"),
                       e.qStrRule, temper(e.fValueC, data)},
                      eventWidths);
    }
    pages.gap(6);
    pages.line(t.qStrTrend, 14, true);
    QFont font(QStringLiteral("Sans"));
    font.setPointSizeF(7);
    painter.setFont(font);
    if (!data.trend.empty())
        drawTrendChart(painter, pages.take(pages.mm(70)), data.trend, data.rules, data.nUnit, data.qStrUnit);
    else
        pages.line(QStringLiteral("-"), 10);
    pages.gap(6);
    pages.line(t.qStrNotes, 14, true);
    const QRectF notes = pages.take(pages.mm(50));
    painter.drawRect(notes);
    if (!data.qStrNotes.isEmpty()) {
        QFont body(QStringLiteral("Sans"));
        body.setPointSizeF(10);
        painter.setFont(body);
        painter.drawText(notes.adjusted(pages.mm(2), pages.mm(2), -pages.mm(2), -pages.mm(2)), Qt::TextWordWrap,
                         data.qStrNotes);
    }
    if (!painter.end()) {
        if (pError)
            *pError = QStringLiteral("cannot write %1").arg(qStrPdf);
        return false;
    }
    return true;
}

} // namespace Alarm
