#pragma once
// The vertical temperature scale beside the live picture: the scene maximum above a colour bar,
// the minimum below it and an "Auto" switch. With the switch off, two handles choose a
// temperature window (the isotherm range) that the video engine maps the palette onto; while a
// handle is hovered or dragged the page shows a floating label with its temperature.
//
// The page places it, feeds it the scene temperatures and the colour bar, and connects:
//   sendIsoTemperSignal(low, high)                 -> QVideoPlay::setIsoTemperSlot and the page's
//                                                     setCurHoverLabelTemperRangeSlot
//   send{Top,Bottom}TemperHoverLabelVisibleSignal  -> set{Top,Bottom}TemperHoverLabelVisibleSlot
//   send{Top,Bottom}TemperHoverLabelPosSignal      -> set{Top,Bottom}TemperHoverLabelPosSlot
// The positions are the handles' top-left corners in this widget's coordinates.

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class SwitchButton;

class QTemperRangeAdjust : public QWidget
{
    Q_OBJECT

public:
    explicit QTemperRangeAdjust(QWidget* parent = nullptr);

    // Shows or hides the label, the switch, both temperature labels and the colour bar; the
    // handles keep their own visibility.
    void setPartsVisible(bool bVisible);
    bool isShown() const { return m_bShown; }

    // Puts the handles at the ends of the bar and selects the whole bar.
    void placeHandles();

    // New scene extent (degrees Celsius) from the hot point update; refreshes the labels and
    // re-sends the isotherm range of the current handle positions.
    void setSceneTemperatures(float fMin, float fMax);

    // Loads a colour bar bitmap (ColorBar.h); null, empty or unreadable data keeps the old bar.
    void setScaleImage(const uint8_t* pData, size_t nLength);
    void setScaleImage(const std::vector<uint8_t>& bytes) { setScaleImage(bytes.data(), bytes.size()); }

    // Temperatures (degrees Celsius) at the current handle positions.
    float upperTemper() const;
    float lowerTemper() const;

    // State, for the page and for tests.
    bool isAutoRange() const;
    QRect rangeRect() const { return m_rcRange; }
    QRect slideRect() const;
    QPushButton* topHandle() const { return m_pTopBtn; }
    QPushButton* bottomHandle() const { return m_pBottomBtn; }
    SwitchButton* autoSwitch() const { return m_pSwitch; }
    const QPixmap& scalePixmap() const { return m_pixScale; }

    // A column that centres the scale gives it this height: the parts plus a bar of
    // kPreferredBarHeight (the bar itself has no natural height).
    QSize sizeHint() const override;
    static constexpr int kPreferredBarHeight = 320;

    static constexpr int kHandleWidth = 25;
    static constexpr int kHandleHeight = 18;
    static constexpr int kHandleGap = 18;    // least distance between the two handles' tops

signals:
    void sendIsoTemperSignal(float fMinTemper, float fMaxTemper);
    void sendTopTemperHoverLabelVisibleSignal(bool);
    void sendBottomTemperHoverLabelVisibleSignal(bool);
    void sendTopTemperHoverLabelPosSignal(QPoint);
    void sendBottomTemperHoverLabelPosSignal(QPoint);

private slots:
    void setTemperRangeAjSwitchSlots(bool bFlags);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void handleMove(const QPoint& pos);
    void rescaleToSlide();
    float temperAt(int nHandleY) const;
    void emitIsoFromHandles();

    QLabel* m_pAutoLabel = nullptr;
    SwitchButton* m_pSwitch = nullptr;
    QLabel* m_pMaxLabel = nullptr;
    QWidget* m_pSlideWidget = nullptr;
    QLabel* m_pMinLabel = nullptr;
    QPushButton* m_pTopBtn = nullptr;
    QPushButton* m_pBottomBtn = nullptr;

    bool m_bDragTop = false;
    bool m_bDragBottom = false;
    bool m_bDragRange = false;
    float m_fSceneMin = 0.0f;
    float m_fSceneMax = 0.0f;
    bool m_bHaveScene = false;   // the extremes above were given (as shown, emissivity applied)
    QRect m_rcRange;
    QPoint m_ptLast;
    QRect m_rcSlide{QPoint(0, 0), QPoint(-1, -1)};
    bool m_bShown = false;
    QPixmap m_pixScale;
};
