#pragma once
// Modal busy dialog: the loading animation above "Please Wait". Callers show it while a long
// request runs and close it from the request's result slot.

#include <QDialog>

class QLabel;
class QMovie;

class QLoadingMsgDlg : public QDialog
{
    Q_OBJECT

public:
    explicit QLoadingMsgDlg(QWidget* parent = nullptr);

    QLabel* movieLabel() const { return m_pMovieLabel; }
    QLabel* textLabel() const { return m_pTextLabel; }
    QMovie* movie() const { return m_pMovie; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* m_pMovieLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    QMovie* m_pMovie = nullptr;
};
