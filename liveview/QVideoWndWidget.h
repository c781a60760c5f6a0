#pragma once
// The video window of the live view: a black chamfered backdrop with the native label that the
// render library draws into, 16 pixels inside its edges.

#include <QWidget>

class QChamferedLabel;
class QVBoxLayout;

class QVideoWndWidget : public QWidget
{
    Q_OBJECT

public:
    explicit QVideoWndWidget(QWidget* parent = nullptr);

    QChamferedLabel* videoLabel() const { return m_pVideoWndLabel; }
    // Native window handle of the label, for the render library.
    WId videoWindowHandle() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setupUi();

    QVBoxLayout* m_pVerticalLayout = nullptr;
    QChamferedLabel* m_pVideoWndLabel = nullptr;
};
