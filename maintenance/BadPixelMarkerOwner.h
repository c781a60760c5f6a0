#pragma once
// What the bad pixel and bad column markers need from the page that created them (the bad
// pixel editor implements it): being told that a marker is drawn selected, so that the page
// selects the marker's table row, and running the page's context menu for a selected marker.

#include <QPoint>
#include <QPointF>

class BadPixelItem;
class BadPixelColItem;

class BadPixelMarkerOwner
{
public:
    virtual ~BadPixelMarkerOwner() = default;

    virtual void pixelMarkerSelected(BadPixelItem* pItem) = 0;
    virtual void columnMarkerSelected(BadPixelColItem* pItem) = 0;
    // screenPos: where to open the menu; scenePos: the clicked point in scene coordinates.
    virtual void runMarkerContextMenu(const QPoint& screenPos, const QPointF& scenePos) = 0;
};
