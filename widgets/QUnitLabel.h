#pragma once
// 50 x 30 floating value label: a value text and a unit text side by side. Mouse events pass
// through it to whatever lies below.

#include <QWidget>

class QLabel;

class QUnitLabel : public QWidget
{
    Q_OBJECT

public:
    explicit QUnitLabel(QWidget* parent = nullptr);

    void setValueText(const QString& qStrText);
    void setUnitText(const QString& qStrText);
    QString valueText() const;
    QString unitText() const;

    QLabel* valueLabel() const { return m_pValueLabel; }
    QLabel* unitLabel() const { return m_pUnitLabel; }

private:
    QLabel* m_pValueLabel = nullptr;
    QLabel* m_pUnitLabel = nullptr;
};
