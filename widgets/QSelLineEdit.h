#pragma once
// Path field: a line edit with a select button on its right. The button's click is passed on as
// sendSelBtnClickedSignals(); the owner opens its own file or folder dialog and puts the result
// back with setText().

#include <QWidget>

class QLineEdit;
class QPushButton;

class QSelLineEdit : public QWidget
{
    Q_OBJECT

public:
    explicit QSelLineEdit(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& qStrText);

    void setLineEditStyle(const QString& qStrStyle);
    void setSelBtnStyle(const QString& qStrStyle);

    QLineEdit* lineEdit() const { return m_pLineEdit; }
    QPushButton* selButton() const { return m_pSelBtn; }

signals:
    void sendSelBtnClickedSignals();

public slots:
    // The select button's click.
    void setSelectPathSlots();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_pLineEdit = nullptr;
    QPushButton* m_pSelBtn = nullptr;
};
