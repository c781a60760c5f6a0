#pragma once
// 36 x 36 navigation button: an icon with a (hidden) caption below it. Entering the button
// highlights it; leaving removes the highlight only while the button is enabled, so the disabled
// button of the current module stays highlighted.

#include <QPushButton>

class QLabel;

class QIconTextVBtn : public QPushButton
{
    Q_OBJECT

public:
    explicit QIconTextVBtn(QWidget* parent = nullptr);

    // Image values are style fragments such as "url(:/Resource/Skin/video_preview_n.png);".
    // Stores both and shows the normal image.
    void setImages(const QString& qStrNormal, const QString& qStrHighlight);
    void setHighlight(bool bHighlight);
    bool isHighlighted() const { return m_bHighlight; }

    void setBtnText(const QString& qStrText);
    QString btnText() const;

    QLabel* iconLabel() const { return m_pIconLabel; }
    QLabel* textLabel() const { return m_pTextLabel; }

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QLabel* m_pIconLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    QString m_qStrNormal;
    QString m_qStrHighlight;
    bool m_bHighlight = false;
};
