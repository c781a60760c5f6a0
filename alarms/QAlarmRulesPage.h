#pragma once
// The alarm rules page of the settings module: the rules (source, type, threshold in the
// shown unit, hold time, enable, actions), the alarm recording length, and the alarm log.
// Saved to Config.ini by its own Save button; running monitors reload the rules at once.

#include "alarms/AlarmEngine.h"

#include <QWidget>
#include <vector>

class QListWidget;
class QSpinBox;
class QTableWidget;

class QAlarmRulesPage : public QWidget
{
    Q_OBJECT
public:
    explicit QAlarmRulesPage(QWidget* parent = nullptr);

    // Fills the widgets from Config.ini and the log file.
    void load();
    // The rules as the widgets hold them (thresholds back in Celsius).
    std::vector<Alarm::Rule> rules() const;
    void setRules(const std::vector<Alarm::Rule>& rules);

    QTableWidget* rulesTable() const { return m_pTable; }
    QListWidget* logList() const { return m_pLog; }
    QSpinBox* durationSpin() const { return m_pDuration; }

public slots:
    void addRuleSlot();
    void deleteRuleSlot();
    void saveSlot();
    void refreshLogSlot();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addRow(const Alarm::Rule& rule);

    QTableWidget* m_pTable = nullptr;
    QSpinBox* m_pDuration = nullptr;
    QListWidget* m_pLog = nullptr;
};
