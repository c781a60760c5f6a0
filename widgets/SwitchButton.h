#pragma once
// Animated on/off switch. A click toggles the state, emits checkedChanged and slides the knob to
// its end position in steps of a tenth of the width every 5 ms. Styles: 0 rounded rectangle,
// 1 circle inside a stadium, 2 circle overhanging a thin track, 3 two images.

#include <QColor>
#include <QWidget>

class QTimer;

class SwitchButton : public QWidget
{
    Q_OBJECT

public:
    enum ButtonStyle { ButtonStyle_Rect = 0, ButtonStyle_CircleIn = 1, ButtonStyle_CircleOut = 2, ButtonStyle_Image = 3 };

    explicit SwitchButton(QWidget* parent = nullptr);

    bool isChecked() const { return m_bChecked; }
    // Sets the state without emitting checkedChanged; with bAnimate false the knob jumps.
    void setChecked(bool bChecked, bool bAnimate = true);

    int buttonStyle() const { return m_nButtonStyle; }
    void setButtonStyle(int nStyle);

    void setBgColorOff(const QColor& color);
    void setBgColorOn(const QColor& color);
    void setSliderColorOff(const QColor& color);
    void setSliderColorOn(const QColor& color);
    void setTextColorOff(const QColor& color);
    void setTextColorOn(const QColor& color);
    void setTextOff(const QString& qStrText);
    void setTextOn(const QString& qStrText);
    void setImageOff(const QString& qStrPath);
    void setImageOn(const QString& qStrPath);
    void setSpace(int nSpace);
    void setRectRadius(int nRadius);

    QColor bgColorOff() const { return m_bgColorOff; }
    QColor bgColorOn() const { return m_bgColorOn; }
    int space() const { return m_nSpace; }
    int rectRadius() const { return m_nRectRadius; }

    // Knob position (x of its left edge), its target and the animation step, for tests.
    int startX() const { return m_nStartX; }
    int endX() const { return m_nEndX; }
    int step() const { return m_nStep; }
    bool isAnimating() const;
    // The knob's x at rest for the given state with the current style and size.
    int restX(bool bChecked) const;

    QSize sizeHint() const override;

signals:
    void checkedChanged(bool bChecked);

public slots:
    void updateValue();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void recomputeStep();
    void drawBg(QPainter& painter);
    void drawSlider(QPainter& painter);
    void drawText(QPainter& painter);
    void drawImage(QPainter& painter);

    bool m_bChecked = false;
    int m_nButtonStyle = ButtonStyle_CircleIn;
    QColor m_bgColorOff;
    QColor m_bgColorOn;
    QColor m_sliderColorOff;
    QColor m_sliderColorOn;
    QColor m_textColorOff;
    QColor m_textColorOn;
    QString m_qStrTextOff;
    QString m_qStrTextOn;
    QString m_qStrImageOff;
    QString m_qStrImageOn;
    int m_nSpace = 2;
    int m_nRectRadius = 12;
    int m_nStep = 0;
    int m_nStartX = 0;
    int m_nEndX = 0;
    QTimer* m_pTimer = nullptr;
};
