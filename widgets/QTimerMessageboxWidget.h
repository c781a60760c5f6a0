#pragma once
// The self-hiding notice: one shared 450 x 40 strip with an icon and a text, shown centred over
// the main window for a given time. Icon types: 0 success, 1 failure, 3 information; any other
// type keeps the icon of the previous notice.
//
// The main window registers itself once with setParentWidget(this); afterwards every page shows
// notices with QTimerMessageboxWidget::showNotice(text, type, ms). Without a registered parent
// the notice is created as a frameless top-level tool window.
//
// Each show starts its own single-shot hide timer; an earlier notice's timer still hides the
// widget when it fires, even if a later notice replaced the text in between.

#include <QPointer>
#include <QWidget>

class QLabel;

class QTimerMessageboxWidget : public QWidget
{
    Q_OBJECT

public:
    enum NoticeType { Success = 0, Failure = 1, Information = 3 };

    explicit QTimerMessageboxWidget(QWidget* parent = nullptr);

    // Registers the parent of the shared notice (the main window). A notice that exists under
    // another parent is discarded; the next show creates it under the new one.
    static void setParentWidget(QWidget* pParent);
    static QWidget* parentWidgetForNotice();
    // The shared notice, created on first use; null never (it is created without a parent when
    // none is registered). Destroyed with its parent.
    static QTimerMessageboxWidget* instance();
    // Shorthand: instance()->showMessage(...).
    static void showNotice(const QString& qStrText, int nType, int nDurationMs);

    // Sets icon and text, widens to fit the text, centres over the parent, shows, and hides again
    // after nDurationMs milliseconds.
    void showMessage(const QString& qStrText, int nType, int nDurationMs);

    QString text() const;
    // Resource path of the icon shown now (empty before the first typed notice).
    QString iconPath() const { return m_qStrIconPath; }
    QLabel* iconLabel() const { return m_pIconLabel; }
    QLabel* textLabel() const { return m_pTextLabel; }

public slots:
    void setHideWndTimer();

private:
    QLabel* m_pIconLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    QString m_qStrIconPath;

    static QPointer<QWidget> s_pParent;
    static QPointer<QTimerMessageboxWidget> s_pInstance;
};
