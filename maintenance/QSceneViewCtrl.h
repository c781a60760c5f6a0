#pragma once
// Transparent overlay window with a scene of its own holding the hot point marker. The live view
// keeps it exactly over the picture, sets the label text and calls setMarkerPoint with the hot
// point in overlay coordinates.

#include <QString>
#include <QWidget>

class PtExItem;
class QGraphicsScene;
class QGraphicsView;

class QSceneViewCtrl : public QWidget
{
    Q_OBJECT

public:
    explicit QSceneViewCtrl(QWidget* parent = nullptr);
    ~QSceneViewCtrl() override;

    // Places the marker at (x, y): drawn only when both are >= 0; the label goes left of the cross
    // in the right tenth of the control, is raised in the bottom 5 % and lowered in the top 5 %;
    // the label text is copied from labelText(). Returns 0, or -3 when the marker cannot be made.
    int setMarkerPoint(int x, int y);

    void setLabelText(const QString& qStrText) { m_qStrLabelText = qStrText; }
    QString labelText() const { return m_qStrLabelText; }

    QGraphicsScene* scene() const { return m_pScene; }
    QGraphicsView* view() const { return m_pView; }
    // The marker; hide it with marker()->setVisible(false) (setMarkerPoint keeps that state).
    PtExItem* marker() const { return m_pMarker; }

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QGraphicsScene* m_pScene = nullptr;
    QGraphicsView* m_pView = nullptr;
    PtExItem* m_pMarker = nullptr;
    QString m_qStrLabelText;
};
