#pragma once
// The settings module's parameters page: the surface's emissivity (with the material presets
// of the language tables) and the reflected temperature, which correct every temperature the
// client shows or writes, and whether snapshots and recordings carry the measurement items.
// Stored in Config.ini when confirmed.

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class QRadioButton;

class QMeasureParamPage : public QWidget
{
    Q_OBJECT
public:
    explicit QMeasureParamPage(QWidget* parent = nullptr);

    QDoubleSpinBox* emissivityBox() const { return m_pEmissivity; }
    QDoubleSpinBox* reflectedBox() const { return m_pReflected; }
    QComboBox* materialCombo() const { return m_pMaterial; }
    QRadioButton* showRulesButton() const { return m_pShowRules; }
    QPushButton* okButton() const { return m_pOkBtn; }
    QPushButton* defaultButton() const { return m_pDefaultBtn; }

    // Shows the stored values.
    void load();

private slots:
    void setOkBtnSlots();
    void setDefaultBtnSlots();
    void setMaterialSlots(int nIndex);

private:
    QDoubleSpinBox* m_pEmissivity = nullptr;
    QDoubleSpinBox* m_pReflected = nullptr;
    QComboBox* m_pMaterial = nullptr;
    QRadioButton* m_pShowRules = nullptr;
    QRadioButton* m_pNotShow = nullptr;
    QPushButton* m_pOkBtn = nullptr;
    QPushButton* m_pDefaultBtn = nullptr;
};
