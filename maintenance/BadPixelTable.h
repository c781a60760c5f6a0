#pragma once
// Rules of the camera's bad pixel and bad column tables, shared by the bad pixel editor and
// thermava-cli, and the JSON form of a pair of tables:
//   {"pixels": [[x, y], ...], "columns": [c, ...]}

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace BadPixelTable {

// The camera keeps at most this many bad pixels.
constexpr int kMaxPixels = 256;

struct Pixel
{
    int x = 0;   // sensor column
    int y = 0;   // sensor row
    bool operator==(const Pixel& o) const { return x == o.x && y == o.y; }
};

// Text of a pixel in the editor's table: "x,y".
QString pixelText(int x, int y);

// Two bad columns side by side cannot be corrected (each would borrow from the other), and a
// column listed twice is a mistake.
enum class ColumnConflict { None, Same, Adjacent };
inline ColumnConflict columnConflict(int nListed, int nColumn)
{
    if (nListed == nColumn)
        return ColumnConflict::Same;
    if (nListed == nColumn - 1 || nListed == nColumn + 1)
        return ColumnConflict::Adjacent;
    return ColumnConflict::None;
}
// The first listed column that conflicts with nColumn decides (None when none does).
ColumnConflict checkColumn(const QVector<int>& columns, int nColumn);

// What stops a pair of tables from being written: pixels or columns outside the nWidth x
// nHeight image, pixels listed twice, columns listed twice or side by side. One line each.
// More than kMaxPixels pixels is not a problem here (the writer keeps the first kMaxPixels).
QStringList findProblems(const QVector<Pixel>& pixels, const QVector<int>& columns, int nWidth, int nHeight);

QByteArray toJson(const QVector<Pixel>& pixels, const QVector<int>& columns);
// Both keys must be present; every value a whole number. False with a one-line reason.
bool fromJson(const QByteArray& json, QVector<Pixel>* pPixels, QVector<int>* pColumns, QString* pError);

} // namespace BadPixelTable
