#include "measure/SnapshotMeta.h"

#include "app/ConfigStore.h"
#include "measure/JpegComment.h"
#include "measure/PaletteNames.h"
#include "measure/RegionStats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace SnapshotMeta {
namespace {

const QByteArray kMetaTag = "thermava-measure ";
const QByteArray kLumaTag = "thermava-luma ";
constexpr int kLumaChunk = 60000;   // base64 bytes per comment

double r2(double f)
{
    return std::round(f * 100.0) / 100.0;
}

QJsonArray xy(const QPoint& p)
{
    return QJsonArray{p.x(), p.y()};
}

const char* unitCode(int nUnit)
{
    switch (nUnit) {
    case 1: return "F";
    case 2: return "K";
    default: return "C";
    }
}

} // namespace

QSize pictureSize(int nWidth, int nHeight, int nRotation)
{
    return (nRotation == 1 || nRotation == 3) ? QSize(nHeight, nWidth) : QSize(nWidth, nHeight);
}

QPoint planeFromPicture(const QPoint& pt, int nPlaneWidth, int nPlaneHeight, int nRotation)
{
    switch (nRotation) {
    case 1: return QPoint(pt.y(), nPlaneHeight - 1 - pt.x());
    case 2: return QPoint(nPlaneWidth - 1 - pt.x(), nPlaneHeight - 1 - pt.y());
    case 3: return QPoint(nPlaneWidth - 1 - pt.y(), pt.x());
    default: return pt;
    }
}

QPointF pictureFromPlane(const QPointF& pt, int nPlaneWidth, int nPlaneHeight, int nRotation)
{
    switch (nRotation) {
    case 1: return QPointF(nPlaneHeight - pt.y(), pt.x());
    case 2: return QPointF(nPlaneWidth - pt.x(), nPlaneHeight - pt.y());
    case 3: return QPointF(pt.y(), nPlaneWidth - pt.x());
    default: return pt;
    }
}

void drawItems(QImage& picture, const Measure::SampledFrame& frame, const Context& ctx)
{
    using namespace Measure;
    if (!frame.isValid() || ctx.items.isEmpty())
        return;
    const double s = frame.nScale;
    // Positions in continuous plane units (pixel corners at integers), then rotated.
    auto at = [&](double x, double y) { return pictureFromPlane(QPointF(x * s, y * s), frame.nWidth, frame.nHeight, ctx.nRotation); };
    auto degrees = [&](float f) {
        return QString::number(double(ConfigStore::convertTemper(f)), 'f', 1) + ConfigStore::getTemperUnitText();
    };
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font("Arial", 8);
    font.setWeight(63);
    for (const MeasureItem& item : ctx.items) {
        const RegionStats r = measureItem(frame.plane(), item, frame.model, ctx.emissivity);
        const QPointF a = at(item.pt1.x() + 0.5, item.pt1.y() + 0.5), b = at(item.pt2.x() + 0.5, item.pt2.y() + 0.5);
        p.setPen(QPen(Qt::white, std::max(1.0, s)));
        p.setBrush(Qt::NoBrush);
        QPointF labelAt;
        QString label = item.qStrName;
        if (item.kind == ItemKind::Point) {
            p.drawLine(a + QPointF(-4, 0), a + QPointF(4, 0));
            p.drawLine(a + QPointF(0, -4), a + QPointF(0, 4));
            labelAt = a + QPointF(6, -4);
            if (r.bValid)
                label += QLatin1Char(' ') + degrees(r.fAvg);
        } else {
            if (item.kind == ItemKind::Line) {
                p.drawLine(a, b);
                labelAt = (a.y() < b.y() ? a : b) + QPointF(4, -4);
            } else {
                const QRect rc = item.rect();
                const QRectF box = QRectF(at(rc.left(), rc.top()), at(rc.right() + 1, rc.bottom() + 1)).normalized();
                p.drawRect(box);
                labelAt = box.topLeft() + QPointF(2, -3);
            }
            if (r.bValid)
                label += QStringLiteral(" %1/%2/%3").arg(degrees(r.fMax), degrees(r.fMin), degrees(r.fAvg));
        }
        QPainterPath path;
        path.addText(labelAt, font, label);
        p.setPen(QPen(QColor(0, 0, 0, 200), 2.5));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(path);
    }
}

QJsonObject buildMetadata(const Measure::SampledFrame& frame, const Context& ctx, const QDateTime& time)
{
    using namespace Measure;
    const Emissivity& e = ctx.emissivity;
    QJsonObject o;
    o.insert("format", "thermava-snapshot/1");
    o.insert("time", time.toString(Qt::ISODateWithMs));
    o.insert("camera", QJsonObject{{"part", ctx.qStrPart}, {"serial", ctx.qStrSerial}});
    o.insert("unit", unitCode(ctx.nUnit));
    const PaletteNames::Entry* pPalette = PaletteNames::byId(ctx.nPalette);
    o.insert("palette", QJsonObject{{"id", ctx.nPalette}, {"name", pPalette ? pPalette->pszCli : ""}});
    o.insert("rotation", ctx.nRotation);
    o.insert("emissivity", r2(Emissivity::clampEmissivity(e.fEmissivity)));
    o.insert("reflected", r2(e.fReflected));
    const QSize pic = pictureSize(frame.nWidth, frame.nHeight, ctx.nRotation);
    o.insert("picture", QJsonObject{{"width", pic.width()}, {"height", pic.height()}, {"scale", frame.nScale}});
    const ThermHotPointParam& t = frame.trailer;
    o.insert("scene", QJsonObject{{"min", r2(e.correct(t.fMinTemper))},
                                  {"max", r2(e.correct(t.fMaxTemper))},
                                  {"measuredMin", r2(t.fMinTemper)},
                                  {"measuredMax", r2(t.fMaxTemper)}});
    o.insert("hotPoint", QJsonObject{{"at", xy(QPoint(t.nPosX, t.nPosY))}, {"t", r2(e.correct(t.fMaxTemper))}});
    const RegionStats all = measureAll(frame.plane(), frame.model, e);
    if (all.bValid)
        o.insert("coldPoint", QJsonObject{{"at", xy(all.ptMin)}, {"t", r2(all.fMin)}});
    QJsonArray items;
    for (const MeasureItem& item : ctx.items) {
        const RegionStats s = measureItem(frame.plane(), item, frame.model, e);
        QJsonObject i{{"id", item.nId},
                      {"name", item.qStrName},
                      {"kind", kindName(item.kind)},
                      {"geometry", QJsonArray{item.pt1.x(), item.pt1.y(), item.pt2.x(), item.pt2.y()}}};
        if (s.bValid) {
            i.insert("max", r2(s.fMax));
            i.insert("min", r2(s.fMin));
            i.insert("avg", r2(s.fAvg));
            i.insert("maxAt", xy(s.ptMax));
            i.insert("minAt", xy(s.ptMin));
        }
        items.append(i);
    }
    o.insert("items", items);
    o.insert("model", QJsonObject{{"ymin", double(frame.model.fYmin)},
                                  {"ymax", double(frame.model.fYmax)},
                                  {"tmin", double(frame.model.fTmin)},
                                  {"tmax", double(frame.model.fTmax)}});
    return o;
}

QList<QByteArray> encodeComments(const QJsonObject& meta, const Measure::SampledFrame& frame)
{
    QList<QByteArray> out;
    out.append(kMetaTag + QJsonDocument(meta).toJson(QJsonDocument::Compact));
    if (!frame.isValid())
        return out;
    const QByteArray packed = qCompress(frame.luma, 9).toBase64();
    const int nChunks = (packed.size() + kLumaChunk - 1) / kLumaChunk;
    for (int i = 0; i < nChunks; ++i)
        out.append(kLumaTag + QByteArray::number(i + 1) + '/' + QByteArray::number(nChunks) + ' '
                   + packed.mid(i * kLumaChunk, kLumaChunk));
    return out;
}

bool decode(const QList<QByteArray>& comments, Decoded* pOut, QString* pError)
{
    Decoded d;
    QByteArray packed;
    bool bMeta = false;
    for (const QByteArray& c : comments) {
        if (c.startsWith(kMetaTag)) {
            QJsonParseError err;
            const QJsonDocument doc = QJsonDocument::fromJson(c.mid(kMetaTag.size()), &err);
            if (!doc.isObject()) {
                if (pError)
                    *pError = QStringLiteral("the temperature block is damaged (%1)").arg(err.errorString());
                return false;
            }
            d.meta = doc.object();
            bMeta = true;
        } else if (c.startsWith(kLumaTag)) {
            const int nSpace = c.indexOf(' ', kLumaTag.size());
            if (nSpace > 0)
                packed += c.mid(nSpace + 1);
        }
    }
    if (!bMeta) {
        if (pError)
            *pError = QStringLiteral("the picture carries no temperatures");
        return false;
    }
    d.nRotation = d.meta.value("rotation").toInt();
    d.emissivity.fEmissivity = Measure::Emissivity::clampEmissivity(d.meta.value("emissivity").toDouble(1.0));
    d.emissivity.fReflected = d.meta.value("reflected").toDouble(Measure::Emissivity::kDefaultReflected);
    const QJsonObject model = d.meta.value("model").toObject();
    d.frame.model = Measure::LumaModel{float(model.value("ymin").toDouble()), float(model.value("ymax").toDouble()),
                                       float(model.value("tmin").toDouble()), float(model.value("tmax").toDouble())};
    const QJsonObject pic = d.meta.value("picture").toObject();
    const int nScale = pic.value("scale").toInt(1);
    const QSize planeSize = pictureSize(pic.value("width").toInt(), pic.value("height").toInt(), d.nRotation);
    const QByteArray luma = packed.isEmpty() ? QByteArray() : qUncompress(QByteArray::fromBase64(packed));
    if (nScale >= 1 && nScale <= 2 && planeSize.width() > 0 && planeSize.height() > 0
        && luma.size() == planeSize.width() * planeSize.height()) {
        d.frame.luma = luma;
        d.frame.nWidth = planeSize.width();
        d.frame.nHeight = planeSize.height();
        d.frame.nScale = nScale;
        d.frame.nSequence = 1;
    }
    *pOut = d;
    return true;
}

float temperatureAtPicture(const Decoded& snapshot, const QPoint& pt)
{
    const Measure::SampledFrame& f = snapshot.frame;
    const QSize pic = pictureSize(f.nWidth, f.nHeight, snapshot.nRotation);
    if (!f.isValid() || pt.x() < 0 || pt.y() < 0 || pt.x() >= pic.width() || pt.y() >= pic.height())
        return NAN;
    const QPoint p = planeFromPicture(pt, f.nWidth, f.nHeight, snapshot.nRotation);
    const uint8_t y = uint8_t(f.luma.at(p.y() * f.nWidth + p.x()));
    return snapshot.emissivity.correct(f.model.temperature(float(y)));
}

QVector<float> pictureTemperatures(const Measure::SampledFrame& frame, const Measure::Emissivity& emissivity,
                                   int nRotation, QSize* pSize)
{
    const QVector<float> plane = Measure::temperatureImage(frame.plane(), frame.model, emissivity);
    const QSize pic = pictureSize(frame.nWidth, frame.nHeight, nRotation);
    *pSize = pic;
    if (plane.isEmpty())
        return plane;
    QVector<float> out(pic.width() * pic.height());
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            const QPoint p = planeFromPicture(QPoint(x, y), frame.nWidth, frame.nHeight, nRotation);
            out[y * pic.width() + x] = plane[p.y() * frame.nWidth + p.x()];
        }
    return out;
}

void Annotator::setContext(const Context& ctx)
{
    QMutexLocker lock(&m_Mutex);
    m_Context = ctx;
}

Context Annotator::context() const
{
    QMutexLocker lock(&m_Mutex);
    return m_Context;
}

bool Annotator::annotate(const QString& qStrJpeg, const Measure::SampledFrame& frame, bool bItemsInPicture,
                         QString* pError) const
{
    const Context ctx = context();
    if (ctx.bShowItems && !ctx.items.isEmpty() && frame.isValid() && !bItemsInPicture) {
        QImage picture;
        if (!picture.load(qStrJpeg, "JPEG")) {
            if (pError)
                *pError = QStringLiteral("the picture could not be read back");
            return false;
        }
        picture = picture.convertToFormat(QImage::Format_RGB32);
        drawItems(picture, frame, ctx);
        if (!picture.save(qStrJpeg, "JPEG", 100)) {
            if (pError)
                *pError = QStringLiteral("the picture with its items could not be written");
            return false;
        }
    }
    const QJsonObject meta = buildMetadata(frame, ctx, QDateTime::currentDateTime());
    return JpegComment::insertIntoFile(qStrJpeg, encodeComments(meta, frame), pError);
}

} // namespace SnapshotMeta
