#include "maintenance/QSceneViewCtrl.h"

#include "maintenance/PtExItem.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QPainter>
#include <new>

QSceneViewCtrl::QSceneViewCtrl(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("QSceneViewCtrl");
    resize(400, 300);
    installEventFilter(this);
    setAttribute(Qt::WA_Hover);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);

    m_pScene = new QGraphicsScene();
    m_pView = new QGraphicsView(this);
    m_pView->setObjectName("GraphicsView");
    m_pView->setRenderHint(QPainter::Antialiasing);
    // The marker draws far outside its bounding rectangle.
    m_pView->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    // Let the picture below show through the view.
    m_pView->setStyleSheet("QGraphicsView{background: transparent; border: 0px;}");
    m_pView->setFrameShape(QFrame::NoFrame);
    m_pView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Scene and overlay share coordinates: the live view builds the window mask from them.
    m_pView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pView->setScene(m_pScene);

    m_pMarker = new PtExItem(this);
    m_pScene->addItem(m_pMarker);
}

QSceneViewCtrl::~QSceneViewCtrl()
{
    // The scene owns the marker.
    m_pView->setScene(nullptr);
    delete m_pScene;
    m_pMarker = nullptr;
}

int QSceneViewCtrl::setMarkerPoint(int x, int y)
{
    if (!m_pMarker) {
        m_pMarker = new (std::nothrow) PtExItem(this);
        if (!m_pMarker)
            return -3;
        m_pScene->addItem(m_pMarker);
    }
    m_pMarker->setShowFlag(x >= 0 && y >= 0);
    m_pMarker->setPoint(x, y);
    m_pMarker->setPos(x, y);
    m_pMarker->setLabelOnRight(x < 0.9 * width());
    if (y >= 0.95 * height())
        m_pMarker->setLabelVerticalMode(PtExItem::LabelRaised);
    else if (y <= 0.05 * height())
        m_pMarker->setLabelVerticalMode(PtExItem::LabelLowered);
    else
        m_pMarker->setLabelVerticalMode(PtExItem::LabelLevel);
    m_pMarker->setLabelText(m_qStrLabelText);
    // The text or label side may change without a move.
    m_pMarker->update();
    return 0;
}

bool QSceneViewCtrl::eventFilter(QObject* watched, QEvent* event) { return QWidget::eventFilter(watched, event); }

void QSceneViewCtrl::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.drawPixmap(10, 10, QPixmap(":/Resource/Skin/LOGO_CN.png"));
    // Almost invisible, but it makes the whole area take mouse events.
    painter.fillRect(rect(), QColor(0, 0, 0, 1));
}

void QSceneViewCtrl::mousePressEvent(QMouseEvent* event)
{
    grabMouse();
    QWidget::mousePressEvent(event);
}

void QSceneViewCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    releaseMouse();
    QWidget::mouseReleaseEvent(event);
}

void QSceneViewCtrl::mouseMoveEvent(QMouseEvent* event) { QWidget::mouseMoveEvent(event); }

void QSceneViewCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_pView->move(0, 0);
    m_pView->resize(size());
    m_pScene->setSceneRect(0, 0, width(), height());
}
