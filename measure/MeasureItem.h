#pragma once
// Measurement items placed on the picture: points, lines and rectangles in camera pixels
// (the sensor's own grid, before rotation, zoom and super-resolution), and how they are kept
// in Config.ini.
//
// Config.ini form (group "GeneralConfig", key "MeasureItems"): a list of entries
// "kind,id,x1,y1,x2,y2,name" with kind "point", "line" or "rect"; a point uses x1,y1 only, a
// rectangle is spanned by its two corners. The name comes last and may hold commas.

#include <QMetaType>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

namespace Measure {

enum class ItemKind { Point = 0, Line = 1, Rect = 2 };

constexpr int kMaxPoints = 8;
constexpr int kMaxLines = 4;
constexpr int kMaxRects = 4;

QString kindName(ItemKind kind);                        // "point", "line", "rect"
bool kindFromName(const QString& qStrName, ItemKind* pKind);
int maxItemsOf(ItemKind kind);

struct MeasureItem
{
    int nId = 0;                // unique among the items, from 1
    ItemKind kind = ItemKind::Point;
    QString qStrName;           // shown in the label ("P1", "L2", "R1" by default)
    QPoint pt1;                 // point; line start; rectangle corner
    QPoint pt2;                 // line end; opposite rectangle corner

    QRect rect() const { return QRect(pt1, pt2).normalized(); }
    // Moves the item by d, kept inside a picture of nWidth x nHeight.
    void moveBy(const QPoint& d, int nWidth, int nHeight);
    // Clamps both points into the picture.
    void clampTo(int nWidth, int nHeight);

    QString toConfigText() const;
    static bool fromConfigText(const QString& qStrText, MeasureItem* pItem);
};

// Whether one more item of this kind fits under its limit.
bool canAdd(const QVector<MeasureItem>& items, ItemKind kind);
// A new item of that kind with the lowest free id and the default name (P/L/R + number).
MeasureItem newItem(const QVector<MeasureItem>& items, ItemKind kind);

// Reads the list kept in Config.ini (malformed entries, duplicate ids and entries beyond a
// kind's limit are dropped) and writes it back.
QVector<MeasureItem> loadItems();
void saveItems(const QVector<MeasureItem>& items);

} // namespace Measure

Q_DECLARE_METATYPE(Measure::MeasureItem)
