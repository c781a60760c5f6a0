#include "measure/MeasureItem.h"

#include "app/ConfigStore.h"

#include <QSet>
#include <QStringList>
#include <algorithm>

namespace Measure {

namespace {
const char* const kItemsKey = "MeasureItems";
}

QString kindName(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Line: return QStringLiteral("line");
    case ItemKind::Rect: return QStringLiteral("rect");
    default: return QStringLiteral("point");
    }
}

bool kindFromName(const QString& qStrName, ItemKind* pKind)
{
    for (ItemKind k : {ItemKind::Point, ItemKind::Line, ItemKind::Rect}) {
        if (qStrName == kindName(k)) {
            *pKind = k;
            return true;
        }
    }
    return false;
}

int maxItemsOf(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Line: return kMaxLines;
    case ItemKind::Rect: return kMaxRects;
    default: return kMaxPoints;
    }
}

void MeasureItem::clampTo(int nWidth, int nHeight)
{
    auto clampPoint = [&](QPoint& p) {
        p.setX(std::max(0, std::min(nWidth - 1, p.x())));
        p.setY(std::max(0, std::min(nHeight - 1, p.y())));
    };
    clampPoint(pt1);
    clampPoint(pt2);
}

void MeasureItem::moveBy(const QPoint& d, int nWidth, int nHeight)
{
    // The whole item moves, so its shape survives running into an edge.
    const QRect r = kind == ItemKind::Point ? QRect(pt1, pt1) : QRect(pt1, pt2).normalized();
    const int dx = std::max(-r.left(), std::min(nWidth - 1 - r.right(), d.x()));
    const int dy = std::max(-r.top(), std::min(nHeight - 1 - r.bottom(), d.y()));
    pt1 += QPoint(dx, dy);
    pt2 += QPoint(dx, dy);
}

QString MeasureItem::toConfigText() const
{
    const QPoint p2 = kind == ItemKind::Point ? pt1 : pt2;
    return QStringLiteral("%1,%2,%3,%4,%5,%6,%7")
        .arg(kindName(kind))
        .arg(nId)
        .arg(pt1.x())
        .arg(pt1.y())
        .arg(p2.x())
        .arg(p2.y())
        .arg(qStrName);
}

bool MeasureItem::fromConfigText(const QString& qStrText, MeasureItem* pItem)
{
    const QStringList parts = qStrText.split(QLatin1Char(','));
    if (parts.size() < 7)
        return false;
    MeasureItem item;
    if (!kindFromName(parts[0].trimmed(), &item.kind))
        return false;
    int n[5];
    for (int i = 0; i < 5; ++i) {
        bool bOk = false;
        n[i] = parts[i + 1].trimmed().toInt(&bOk);
        if (!bOk || n[i] < 0 || n[i] > 100000)
            return false;
    }
    if (n[0] < 1)
        return false;
    item.nId = n[0];
    item.pt1 = QPoint(n[1], n[2]);
    item.pt2 = item.kind == ItemKind::Point ? item.pt1 : QPoint(n[3], n[4]);
    item.qStrName = parts.mid(6).join(QLatin1Char(',')).left(32);
    *pItem = item;
    return true;
}

bool canAdd(const QVector<MeasureItem>& items, ItemKind kind)
{
    const auto n = std::count_if(items.begin(), items.end(), [kind](const MeasureItem& i) { return i.kind == kind; });
    return n < maxItemsOf(kind);
}

MeasureItem newItem(const QVector<MeasureItem>& items, ItemKind kind)
{
    QSet<int> ids;
    QSet<QString> names;
    for (const MeasureItem& i : items) {
        ids.insert(i.nId);
        names.insert(i.qStrName);
    }
    MeasureItem item;
    item.kind = kind;
    item.nId = 1;
    while (ids.contains(item.nId))
        ++item.nId;
    const QChar prefix = kind == ItemKind::Point ? 'P' : kind == ItemKind::Line ? 'L' : 'R';
    for (int n = 1;; ++n) {
        item.qStrName = QString(prefix) + QString::number(n);
        if (!names.contains(item.qStrName))
            break;
    }
    return item;
}

QVector<MeasureItem> loadItems()
{
    QVector<MeasureItem> items;
    QSet<int> ids;
    const QStringList entries = ConfigStore::value(ConfigStore::kGeneralGroup, kItemsKey).toStringList();
    for (const QString& entry : entries) {
        MeasureItem item;
        if (!MeasureItem::fromConfigText(entry, &item) || ids.contains(item.nId) || !canAdd(items, item.kind))
            continue;
        ids.insert(item.nId);
        items.append(item);
    }
    return items;
}

void saveItems(const QVector<MeasureItem>& items)
{
    QStringList entries;
    for (const MeasureItem& item : items)
        entries.append(item.toConfigText());
    ConfigStore::setValue(ConfigStore::kGeneralGroup, kItemsKey, entries);
}

} // namespace Measure
