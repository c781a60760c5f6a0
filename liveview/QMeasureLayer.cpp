#include "liveview/QMeasureLayer.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "measure/BurnIn.h"
#include "measure/MeasureSettings.h"
#include "maintenance/QSceneViewCtrl.h"
#include "video/QVideoPlay.h"

#include <QContextMenuEvent>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <cmath>

using namespace Measure;

namespace {

const QColor kItemColour(255, 255, 255);
const QColor kActiveColour(0xE6, 0x7E, 0x22);
const QColor kColdColour(30, 144, 255);
constexpr int kGrab = 7;   // overlay pixels within which a handle or an outline is caught

QFont labelFont()
{
    QFont font("Arial", 9);
    font.setWeight(63);
    return font;
}

// The layer's drawing, one item over the whole overlay scene.
class MeasureSceneItem : public QGraphicsItem
{
public:
    explicit MeasureSceneItem(QMeasureLayer* pLayer) : m_pLayer(pLayer) { setZValue(2.0); }
    // The overlay's area; not the scene's rectangle, which may be computed from the items.
    QRectF boundingRect() const override { return m_rect; }
    void setArea(const QSizeF& size)
    {
        if (m_rect.size() == size)
            return;
        prepareGeometryChange();
        m_rect = QRectF(QPointF(0, 0), size);
    }
    void paint(QPainter* pPainter, const QStyleOptionGraphicsItem*, QWidget*) override { m_pLayer->paint(pPainter); }

private:
    QMeasureLayer* m_pLayer;
    QRectF m_rect;
};

// Text with a dark halo, readable on any palette.
void haloText(QPainter* p, const QPointF& at, const QString& text, const QColor& colour)
{
    QPainterPath path;
    const QFont font = labelFont();
    const QStringList lines = text.split('\n');
    const int nLine = QFontMetrics(font).height();
    for (int i = 0; i < lines.size(); ++i)
        path.addText(at + QPointF(0, i * nLine), font, lines[i]);
    p->setPen(QPen(QColor(0, 0, 0, 200), 3));
    p->setBrush(Qt::NoBrush);
    p->drawPath(path);
    p->setPen(Qt::NoPen);
    p->setBrush(colour);
    p->drawPath(path);
}

QRect textArea(const QPointF& at, const QString& text)
{
    const QFontMetrics fm(labelFont());
    const QStringList lines = text.split('\n');
    int w = 0;
    for (const QString& l : lines)
        w = std::max(w, fm.horizontalAdvance(l));
    return QRect(at.toPoint() - QPoint(3, fm.ascent() + 3), QSize(w + 6, fm.height() * lines.size() + 6));
}

void cross(QPainter* p, const QPointF& c, const QColor& colour)
{
    p->setPen(QPen(colour, 2));
    p->drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
    p->drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
}

} // namespace

QMeasureLayer::QMeasureLayer(QWidget* pVideoLabel, QSceneViewCtrl* pOverlay, QVideoPlay* pEngine, QObject* parent)
    : QObject(parent), m_pVideoLabel(pVideoLabel), m_pOverlay(pOverlay), m_pEngine(pEngine)
{
    qRegisterMetaType<QVector<Measure::MeasureReading>>("QVector<Measure::MeasureReading>");
    qRegisterMetaType<Measure::SceneReading>("Measure::SceneReading");
    m_Items = loadItems();
    m_bColdSpot = loadColdPoint();
    m_pSceneItem = new MeasureSceneItem(this);
    m_pOverlay->scene()->addItem(m_pSceneItem);
    m_pVideoLabel->setMouseTracking(true);
    m_pVideoLabel->installEventFilter(this);
    m_pOverlay->view()->viewport()->setMouseTracking(true);
    m_pOverlay->view()->viewport()->installEventFilter(this);

    // Every processed frame, on the engine's thread: the luminance with the trailer of that
    // moment. A snapshot is written between two frames, so right after it the last sample
    // is the frame in the picture.
    connect(
        pEngine, &QVideoPlay::sendCalcuYDataSignal, this,
        [this](unsigned char* pBuffer, int nScale) {
            m_Sampler.takeFromLink(pBuffer, m_pEngine->frameWidth(), m_pEngine->frameHeight(), nScale);
        },
        Qt::DirectConnection);
    connect(
        pEngine, &QVideoPlay::sendSnapshotFileSignal, this,
        [this](const QString& qStrPath) {
            QString error;
            if (!m_Annotator.annotate(qStrPath, m_Sampler.latest(), m_pEngine->pictureHasItems(), &error))
                qWarning("Snapshot temperatures not added to %s: %s", qPrintable(qStrPath), qPrintable(error));
        },
        Qt::DirectConnection);
}

QMeasureLayer::~QMeasureLayer()
{
    // The item lives in the overlay's scene; when the overlay went first, its scene took the
    // item with it.
    if (m_pOverlay)
        delete m_pSceneItem;
}

void QMeasureLayer::setView(const MeasureGeometry::View& view)
{
    m_View = view;
    static_cast<MeasureSceneItem*>(m_pSceneItem)->setArea(QSizeF(view.overlaySize));
}

void QMeasureLayer::setLive(bool bLive)
{
    if (m_bLive == bLive)
        return;
    m_bLive = bLive;
    if (!bLive) {
        m_qStrCursor.clear();
        m_Sampler.clear();
    }
    changed();
}

void QMeasureLayer::setColdSpotVisible(bool bVisible)
{
    m_bColdSpot = bVisible;
    saveColdPoint(bVisible);
    changed();
}

void QMeasureLayer::setSnapshotContext(int nPalette, int nRotation, const QString& qStrPart,
                                       const QString& qStrSerial)
{
    SnapshotMeta::Context ctx = m_Annotator.context();
    ctx.nPalette = nPalette;
    ctx.nRotation = nRotation;
    if (!qStrPart.isEmpty())
        ctx.qStrPart = qStrPart;
    // Always the open camera's: another camera's serial must not linger in the metadata.
    ctx.qStrSerial = qStrSerial;
    m_Annotator.setContext(ctx);
}

void QMeasureLayer::refresh()
{
    const SampledFrame frame = m_Sampler.latest();
    const Emissivity e = loadEmissivity();
    SnapshotMeta::Context ctx = m_Annotator.context();
    ctx.emissivity = e;
    ctx.items = m_Items;
    ctx.nUnit = ConfigStore::getTemperUnit();
    ctx.bShowItems = loadShowRules();
    m_Annotator.setContext(ctx);
    if (!m_bLive || !frame.isValid()) {
        BurnIn::clear();
        return;
    }
    const LumaPlane plane = frame.plane();
    m_Readings.clear();
    for (const MeasureItem& item : m_Items)
        m_Readings.append(readingOf(item, measureItem(plane, item, frame.model, e)));
    m_Scene = sceneReadingOf(measureAll(plane, frame.model, e));
    // "Show with rules": the items and labels go into what is recorded.
    if (ctx.bShowItems && !m_Items.isEmpty()) {
        QImage overlay(SnapshotMeta::pictureSize(frame.nWidth, frame.nHeight, ctx.nRotation), QImage::Format_ARGB32);
        overlay.fill(Qt::transparent);
        SnapshotMeta::drawItems(overlay, frame, ctx);
        BurnIn::setOverlay(overlay);
    } else {
        BurnIn::clear();
    }
    if (!m_qStrCursor.isEmpty())
        updateCursor(m_ptCursor);
    changed();
    emit sendMeasureReadingsSignal(m_Readings);
    emit sendSceneReadingSignal(m_Scene);
}

bool QMeasureLayer::addItem(ItemKind kind, const QPoint& pt1, const QPoint& pt2)
{
    if (!canAdd(m_Items, kind))
        return false;
    MeasureItem item = newItem(m_Items, kind);
    item.pt1 = pt1;
    item.pt2 = kind == ItemKind::Point ? pt1 : pt2;
    m_Items.append(item);
    saveItems(m_Items);
    refresh();
    changed();
    return true;
}

void QMeasureLayer::removeItem(int nId)
{
    for (int i = 0; i < m_Items.size(); ++i) {
        if (m_Items[i].nId == nId) {
            m_Items.remove(i);
            if (i < m_Readings.size())
                m_Readings.remove(i);
            break;
        }
    }
    saveItems(m_Items);
    changed();
}

void QMeasureLayer::removeAllItems()
{
    m_Items.clear();
    m_Readings.clear();
    saveItems(m_Items);
    changed();
}

QString QMeasureLayer::degrees(float fCelsius)
{
    return QString::number(double(ConfigStore::convertTemper(fCelsius)), 'f', 1) + ConfigStore::getTemperUnitText();
}

QString QMeasureLayer::labelOf(const MeasureItem& item, const MeasureReading& r) const
{
    if (!r.bValid)
        return item.qStrName;
    if (item.kind == ItemKind::Point)
        return item.qStrName + QStringLiteral(" ") + degrees(r.fAvg);
    return QStringLiteral("%1\n%2 %3\n%4 %5\n%6 %7")
        .arg(item.qStrName, langText("Max Temp"), degrees(r.fMax), langText("Min Temp"), degrees(r.fMin),
             langText("AVG Temp"), degrees(r.fAvg));
}

QPoint QMeasureLayer::sceneFromGlobal(const QPoint& globalPos) const
{
    QGraphicsView* pView = m_pOverlay->view();
    return pView->mapToScene(pView->viewport()->mapFromGlobal(globalPos)).toPoint();
}

QPointF QMeasureLayer::toOverlay(const QPoint& cam, bool bCentre) const
{
    const double d = bCentre ? 0.5 : 0.0;
    return MeasureGeometry::cameraToOverlay(QPointF(cam.x() + d, cam.y() + d), m_View);
}

bool QMeasureLayer::toCamera(const QPoint& overlayPos, QPoint* pCam) const
{
    if (!m_View.isValid())
        return false;
    const QPointF c = MeasureGeometry::overlayToCamera(QPointF(overlayPos), m_View);
    const int x = int(std::floor(c.x())), y = int(std::floor(c.y()));
    if (x < 0 || y < 0 || x >= m_View.nWidth || y >= m_View.nHeight)
        return false;
    *pCam = QPoint(x, y);
    return true;
}

void QMeasureLayer::paint(QPainter* p)
{
    if (!m_bLive || !m_View.isValid())
        return;
    p->setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < m_Items.size(); ++i) {
        const MeasureItem& item = m_Items[i];
        const bool bActive = m_Drag != Drag::None && item.nId == m_nDragId;
        const QColor colour = bActive ? kActiveColour : kItemColour;
        const QPointF a = toOverlay(item.pt1), b = toOverlay(item.pt2);
        p->setBrush(Qt::NoBrush);
        QPointF labelAt;
        switch (item.kind) {
        case ItemKind::Point:
            cross(p, a, colour);
            labelAt = a + QPointF(8, -6);
            break;
        case ItemKind::Line:
            p->setPen(QPen(colour, 2));
            p->drawLine(a, b);
            p->drawEllipse(a, 3, 3);
            p->drawEllipse(b, 3, 3);
            labelAt = (a.y() < b.y() ? a : b) + QPointF(6, -8);
            break;
        case ItemKind::Rect: {
            const QRect r = item.rect();
            const QRectF box = QRectF(toOverlay(r.topLeft(), false), toOverlay(r.bottomRight() + QPoint(1, 1), false))
                                   .normalized();
            p->setPen(QPen(colour, 2));
            p->drawRect(box);
            labelAt = box.topLeft() + QPointF(3, 14);
            break;
        }
        }
        const MeasureReading r = i < m_Readings.size() ? m_Readings[i] : MeasureReading();
        haloText(p, labelAt, labelOf(item, r), colour);
    }
    if (!m_qStrCursor.isEmpty())
        haloText(p, QPointF(m_ptCursor) + QPointF(14, 20), m_qStrCursor, kItemColour);
}

bool QMeasureLayer::paintColdSpot(QPainter* p)
{
    if (!m_bLive || !m_View.isValid() || !m_bColdSpot || !m_Scene.bValid)
        return false;
    p->setRenderHint(QPainter::Antialiasing);
    const QPointF c = toOverlay(m_Scene.ptCold);
    cross(p, c, kColdColour);
    haloText(p, c + QPointF(8, 14), degrees(m_Scene.fMin), kColdColour);
    return true;
}

QVector<QRect> QMeasureLayer::paintedAreas() const
{
    QVector<QRect> areas;
    if (!m_bLive || !m_View.isValid())
        return areas;
    for (const MeasureItem& item : m_Items) {
        const QPointF a = toOverlay(item.pt1), b = toOverlay(item.pt2);
        QRect area;
        if (item.kind == ItemKind::Rect) {
            const QRect r = item.rect();
            area = QRectF(toOverlay(r.topLeft(), false), toOverlay(r.bottomRight() + QPoint(1, 1), false))
                       .normalized()
                       .toAlignedRect();
        } else {
            area = QRectF(a, b).normalized().toAlignedRect();
        }
        areas.append(area.adjusted(-8, -8, 8, 8));
        // Labels reach up to 160 pixels right and 70 down of the item's corner.
        areas.append(QRect(area.topLeft() - QPoint(8, 24), QSize(area.width() + 170, 90)));
    }
    if (!m_qStrCursor.isEmpty())
        areas.append(textArea(QPointF(m_ptCursor) + QPointF(14, 20), m_qStrCursor));
    return areas;
}

void QMeasureLayer::changed()
{
    if (m_pSceneItem)
        m_pSceneItem->update();
    emit sendMaskChangedSignal();
}

void QMeasureLayer::updateCursor(const QPoint& overlayPos)
{
    m_ptCursor = overlayPos;
    QPoint cam;
    const SampledFrame frame = m_Sampler.latest();
    if (!m_bLive || !frame.isValid() || !toCamera(overlayPos, &cam)) {
        m_qStrCursor.clear();
        return;
    }
    const float t = temperatureAt(frame.plane(), cam, frame.model, loadEmissivity());
    m_qStrCursor = std::isfinite(t) ? degrees(t) : QString();
}

int QMeasureLayer::hitTest(const QPoint& pos, Drag* pDrag) const
{
    auto near = [&pos](const QPointF& p) { return QLineF(p, QPointF(pos)).length() <= kGrab; };
    for (int i = m_Items.size() - 1; i >= 0; --i) {
        const MeasureItem& item = m_Items[i];
        const QPointF a = toOverlay(item.pt1), b = toOverlay(item.pt2);
        if (item.kind == ItemKind::Point) {
            if (near(a)) {
                *pDrag = Drag::Move;
                return item.nId;
            }
            continue;
        }
        if (near(a)) {
            *pDrag = Drag::Point1;
            return item.nId;
        }
        if (near(b)) {
            *pDrag = Drag::Point2;
            return item.nId;
        }
        bool bOn = false;
        if (item.kind == ItemKind::Line) {
            const QLineF l(a, b);
            const double len = l.length();
            if (len > 0) {
                const QPointF d = (QPointF(pos) - a);
                const double t = std::max(0.0, std::min(1.0, (d.x() * (b.x() - a.x()) + d.y() * (b.y() - a.y())) / (len * len)));
                bOn = QLineF(a + t * (b - a), QPointF(pos)).length() <= kGrab;
            }
        } else {
            const QRectF box = QRectF(a, b).normalized().adjusted(-kGrab, -kGrab, kGrab, kGrab);
            bOn = box.contains(pos);
        }
        if (bOn) {
            *pDrag = Drag::Move;
            return item.nId;
        }
    }
    return 0;
}

void QMeasureLayer::showContextMenu(const QPoint& globalPos, const QPoint& overlayPos)
{
    QPoint cam;
    const bool bOnPicture = toCamera(overlayPos, &cam);
    Drag drag = Drag::None;
    const int nHit = hitTest(overlayPos, &drag);
    QMenu menu;
    const struct
    {
        const char* pszKey;
        ItemKind kind;
    } kinds[] = {{"MeasurePoint", ItemKind::Point}, {"MeasureLine", ItemKind::Line}, {"MeasureRect", ItemKind::Rect}};
    for (const auto& k : kinds) {
        QAction* pAction = menu.addAction(langText(k.pszKey));
        pAction->setEnabled(bOnPicture && canAdd(m_Items, k.kind));
        const ItemKind kind = k.kind;
        connect(pAction, &QAction::triggered, this, [this, kind, cam] {
            if (kind == ItemKind::Point) {
                addItem(kind, cam, cam);
            } else {
                // Lines and rectangles are drawn: the next press and drag spans them.
                m_NewKind = kind;
                m_bPlacing = true;
            }
        });
    }
    menu.addSeparator();
    QAction* pDelete = menu.addAction(langText("Delete"));
    pDelete->setEnabled(nHit != 0);
    connect(pDelete, &QAction::triggered, this, [this, nHit] { removeItem(nHit); });
    QAction* pClear = menu.addAction(langText("Clear"));
    pClear->setEnabled(!m_Items.isEmpty());
    connect(pClear, &QAction::triggered, this, &QMeasureLayer::removeAllItems);
    menu.exec(globalPos);
}

bool QMeasureLayer::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (!m_bLive || (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
                     && type != QEvent::ContextMenu && type != QEvent::Leave))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::Leave) {
        if (watched == m_pVideoLabel && m_Drag == Drag::None) {
            m_qStrCursor.clear();
            changed();
        }
        return false;
    }
    if (type == QEvent::ContextMenu) {
        auto* pEvent = static_cast<QContextMenuEvent*>(event);
        showContextMenu(pEvent->globalPos(), sceneFromGlobal(pEvent->globalPos()));
        return true;
    }
    auto* pEvent = static_cast<QMouseEvent*>(event);
    const QPoint pos = sceneFromGlobal(pEvent->globalPos());
    QPoint cam;
    const bool bOnPicture = toCamera(pos, &cam);
    const int w = m_View.nWidth, h = m_View.nHeight;
    if (type == QEvent::MouseButtonPress && pEvent->button() == Qt::LeftButton) {
        if (m_bPlacing && bOnPicture) {
            m_bPlacing = false;
            if (!canAdd(m_Items, m_NewKind))
                return true;
            MeasureItem item = newItem(m_Items, m_NewKind);
            item.pt1 = item.pt2 = cam;
            m_Items.append(item);
            m_Drag = Drag::Point2;
            m_nDragId = item.nId;
            changed();
            return true;
        }
        Drag drag = Drag::None;
        const int nHit = hitTest(pos, &drag);
        if (nHit == 0 || !bOnPicture)
            return false;
        m_Drag = drag;
        m_nDragId = nHit;
        m_ptDragStart = cam;
        for (const MeasureItem& item : m_Items)
            if (item.nId == nHit)
                m_DragOrigin = item;
        changed();
        return true;
    }
    if (type == QEvent::MouseMove) {
        if (m_Drag != Drag::None) {
            const QPointF c = MeasureGeometry::overlayToCamera(QPointF(pos), m_View);
            const QPoint clamped(std::max(0, std::min(w - 1, int(std::floor(c.x())))),
                                 std::max(0, std::min(h - 1, int(std::floor(c.y())))));
            for (MeasureItem& item : m_Items) {
                if (item.nId != m_nDragId)
                    continue;
                if (m_Drag == Drag::Move) {
                    item = m_DragOrigin;
                    item.moveBy(clamped - m_ptDragStart, w, h);
                } else if (m_Drag == Drag::Point1) {
                    item.pt1 = clamped;
                } else {
                    item.pt2 = clamped;
                }
            }
            refresh();
            changed();
        }
        updateCursor(pos);
        changed();
        return m_Drag != Drag::None;
    }
    if (type == QEvent::MouseButtonRelease && m_Drag != Drag::None) {
        m_Drag = Drag::None;
        saveItems(m_Items);
        refresh();
        changed();
        return true;
    }
    return false;
}
