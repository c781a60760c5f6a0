#pragma once
// Common part of the two horizontal icon buttons (QIconTextHBtn: icon then text; QTextIconHBtn:
// text then icon). The look has four states, each restyling icon and text together:
//   0 normal, 1 hover, 2 pressed, 4 selected.
// Entering an enabled button shows 1; leaving an enabled button shows 4 when selected, else 0;
// a press shows 2 and a release 1, before the normal button handling.

#include <QPushButton>

class QHBoxLayout;
class QLabel;

class QIconTextBtnBase : public QPushButton
{
    Q_OBJECT

public:
    enum LookState { LookNormal = 0, LookHover = 1, LookPressed = 2, LookSelected = 4 };

    void setBtnText(const QString& qStrText);
    QString btnText() const;

    // Image values are style fragments such as "url(:/Resource/Skin/connect_n.png);", one per
    // look state.
    void setIconImages(const QString& qStrNormal, const QString& qStrHover, const QString& qStrPressed,
                       const QString& qStrSelected);
    // Two-image form: the second image serves hover, pressed and selected.
    void setIconImages(const QString& qStrNormal, const QString& qStrSelected);

    void setSelected(bool bSelected);
    bool isSelected() const { return m_bSelected; }

    // Restyles icon and text for a look state; other values are ignored.
    void setLookState(int nState);
    int lookState() const { return m_nLookState; }

    QLabel* iconLabel() const { return m_pIconLabel; }
    QLabel* textLabel() const { return m_pTextLabel; }

    // The image fragment used for a look state (empty for unknown states).
    QString iconImage(int nState) const;

protected:
    QIconTextBtnBase(bool bIconFirst, QWidget* parent);

    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* m_pIconLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    QString m_qStrImages[4];   // normal, hover, pressed, selected
    bool m_bSelected = false;
    int m_nLookState = LookNormal;
};
