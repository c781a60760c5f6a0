#include "alarms/QAlarmRulesPage.h"

#include "alarms/AlarmLog.h"
#include "alarms/AlarmMonitor.h"
#include "alarms/AlarmRuleStore.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "measure/MeasureItem.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { ColEnable, ColSource, ColType, ColThreshold, ColHold, ColSound, ColAudioFile, ColSnapshot, ColRecord, ColNotify, ColCount };
constexpr int kLogRows = 200;

// Through the client's language table; inside the widget classes a bare tr() would be QObject's.
QString uiText(const char* pszKey) { return langText(QString::fromLatin1(pszKey)); }

QCheckBox* checkAt(const QTableWidget* pTable, int nRow, int nCol)
{
    return qobject_cast<QCheckBox*>(pTable->cellWidget(nRow, nCol));
}

} // namespace

QAlarmRulesPage::QAlarmRulesPage(QWidget* parent) : QWidget(parent)
{
    setObjectName("AlarmRulesPage");
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(40, 10, 40, 10);
    auto* pTitle = new QLabel(uiText("Rule Param"), this);
    pTitle->setObjectName("Label_F5_16");
    pLayout->addWidget(pTitle);

    m_pTable = new QTableWidget(0, ColCount, this);
    m_pTable->setHorizontalHeaderLabels({uiText("Rule Enable"), uiText("Alarm Source"), uiText("Alarm Type"), uiText("Alarm Threshold"),
                                         uiText("Hold Time"), uiText("AlarmAudio"), uiText("AudioFile"), uiText("AlarmSnapshot"),
                                         uiText("AlarmRecord"), uiText("AlarmNotify")});
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setMinimumHeight(150);
    pLayout->addWidget(m_pTable, 2);

    auto* pRow = new QHBoxLayout;
    pRow->addWidget(new QLabel(uiText("AlarmDuration"), this));
    m_pDuration = new QSpinBox(this);
    m_pDuration->setRange(1, Alarm::kMaxDurationSec);
    m_pDuration->setSuffix(QStringLiteral(" s"));
    pRow->addWidget(m_pDuration);
    pRow->addStretch(1);
    auto* pAdd = new QPushButton(uiText("Add"), this);
    auto* pDelete = new QPushButton(uiText("Delete Rule"), this);
    auto* pSave = new QPushButton(uiText("Save"), this);
    for (QPushButton* pBtn : {pAdd, pDelete, pSave}) {
        pBtn->setObjectName("BtnStyle1");
        pBtn->setFixedSize(120, 32);
        pRow->addWidget(pBtn);
    }
    pLayout->addLayout(pRow);
    connect(pAdd, &QPushButton::clicked, this, &QAlarmRulesPage::addRuleSlot);
    connect(pDelete, &QPushButton::clicked, this, &QAlarmRulesPage::deleteRuleSlot);
    connect(pSave, &QPushButton::clicked, this, &QAlarmRulesPage::saveSlot);

    pLayout->addWidget(new QLabel(uiText("Alarm Log"), this));
    m_pLog = new QListWidget(this);
    pLayout->addWidget(m_pLog, 1);
    load();
}

void QAlarmRulesPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshLogSlot();
}

void QAlarmRulesPage::load()
{
    setRules(Alarm::loadRules());
    m_pDuration->setValue(Alarm::loadAlarmDuration());
    refreshLogSlot();
}

void QAlarmRulesPage::setRules(const std::vector<Alarm::Rule>& rules)
{
    m_pTable->setRowCount(0);
    for (const Alarm::Rule& rule : rules)
        addRow(rule);
}

void QAlarmRulesPage::addRow(const Alarm::Rule& rule)
{
    const int nRow = m_pTable->rowCount();
    m_pTable->insertRow(nRow);
    const auto check = [&](int nCol, bool bOn) {
        auto* pBox = new QCheckBox(m_pTable);
        pBox->setChecked(bOn);
        m_pTable->setCellWidget(nRow, nCol, pBox);
    };
    check(ColEnable, rule.bEnabled);
    auto* pSource = new QComboBox(m_pTable);
    pSource->addItem(uiText("AlarmSourceScene"), Alarm::kSceneSource);
    for (const Measure::MeasureItem& item : Measure::loadItems())
        pSource->addItem(item.qStrName, item.nId);
    if (pSource->findData(rule.nSource) < 0)   // an item deleted since: keep the rule's source visible
        pSource->addItem(QStringLiteral("#%1").arg(rule.nSource), rule.nSource);
    ConfigStore::selectComboByData(pSource, rule.nSource);
    m_pTable->setCellWidget(nRow, ColSource, pSource);
    auto* pType = new QComboBox(m_pTable);
    for (int t = 0; t < Alarm::TypeCount; ++t)
        pType->addItem(uiText(Alarm::typeKey(t)), t);
    ConfigStore::selectComboByData(pType, rule.nType);
    m_pTable->setCellWidget(nRow, ColType, pType);
    const int nUnit = ConfigStore::getTemperUnit();
    auto* pThreshold = new QDoubleSpinBox(m_pTable);
    pThreshold->setDecimals(1);
    pThreshold->setRange(double(Alarm::toUnit(-273.0f, nUnit)), double(Alarm::toUnit(2000.0f, nUnit)));
    pThreshold->setSuffix(QLatin1Char(' ') + ConfigStore::getTemperUnitText());
    pThreshold->setValue(double(Alarm::toUnit(rule.fThresholdC, nUnit)));
    m_pTable->setCellWidget(nRow, ColThreshold, pThreshold);
    auto* pHold = new QDoubleSpinBox(m_pTable);
    pHold->setDecimals(1);
    pHold->setRange(0.0, 3600.0);
    pHold->setSuffix(QStringLiteral(" s"));
    pHold->setValue(rule.fHoldSec);
    m_pTable->setCellWidget(nRow, ColHold, pHold);
    check(ColSound, rule.bSound);
    auto* pFile = new QLineEdit(rule.qStrAudioFile, m_pTable);
    pFile->setPlaceholderText(QStringLiteral("*.wav"));
    m_pTable->setCellWidget(nRow, ColAudioFile, pFile);
    check(ColSnapshot, rule.bSnapshot);
    check(ColRecord, rule.bRecord);
    check(ColNotify, rule.bNotify);
}

std::vector<Alarm::Rule> QAlarmRulesPage::rules() const
{
    std::vector<Alarm::Rule> rules;
    const int nUnit = ConfigStore::getTemperUnit();
    for (int r = 0; r < m_pTable->rowCount(); ++r) {
        Alarm::Rule rule;
        rule.bEnabled = checkAt(m_pTable, r, ColEnable)->isChecked();
        rule.nSource = qobject_cast<QComboBox*>(m_pTable->cellWidget(r, ColSource))->currentData().toInt();
        rule.nType = qobject_cast<QComboBox*>(m_pTable->cellWidget(r, ColType))->currentData().toInt();
        rule.fThresholdC = Alarm::fromUnit(
            float(qobject_cast<QDoubleSpinBox*>(m_pTable->cellWidget(r, ColThreshold))->value()), nUnit);
        rule.fHoldSec = qobject_cast<QDoubleSpinBox*>(m_pTable->cellWidget(r, ColHold))->value();
        rule.bSound = checkAt(m_pTable, r, ColSound)->isChecked();
        rule.qStrAudioFile = qobject_cast<QLineEdit*>(m_pTable->cellWidget(r, ColAudioFile))->text().trimmed();
        rule.bSnapshot = checkAt(m_pTable, r, ColSnapshot)->isChecked();
        rule.bRecord = checkAt(m_pTable, r, ColRecord)->isChecked();
        rule.bNotify = checkAt(m_pTable, r, ColNotify)->isChecked();
        rules.push_back(rule);
    }
    return rules;
}

void QAlarmRulesPage::addRuleSlot()
{
    if (m_pTable->rowCount() >= Alarm::kMaxRules)
        return;
    addRow(Alarm::Rule());
}

void QAlarmRulesPage::deleteRuleSlot()
{
    const int nRow = m_pTable->currentRow();
    if (nRow >= 0)
        m_pTable->removeRow(nRow);
}

void QAlarmRulesPage::saveSlot()
{
    Alarm::saveRules(rules());
    Alarm::saveAlarmDuration(m_pDuration->value());
    ConfigStore::config()->sync();
    const bool bSaved = ConfigStore::config()->status() == QSettings::NoError;
    QTimerMessageboxWidget::showNotice(uiText(bSaved ? "Save succeed" : "Save failed"), bSaved ? 0 : 1, 2000);
    AlarmMonitor::announceRulesChanged();
}

void QAlarmRulesPage::refreshLogSlot()
{
    m_pLog->clear();
    const QList<Alarm::LogEntry> entries = Alarm::AlarmLog().read();
    const int nUnit = ConfigStore::getTemperUnit();
    for (int i = entries.size() - 1; i >= 0 && i >= entries.size() - kLogRows; --i) {
        const Alarm::LogEntry& e = entries[i];
        m_pLog->addItem(QStringLiteral("%1  %2  %3  %4 %5  %6")
                            .arg(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), uiText(e.bStart ? "AlarmStart" : "AlarmEnd"),
                                 e.qStrRule)
                            .arg(double(Alarm::toUnit(e.fValueC, nUnit)), 0, 'f', 1)
                            .arg(ConfigStore::getTemperUnitText(), e.files.join(QStringLiteral(", "))));
    }
}
