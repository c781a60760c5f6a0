#include "maintenance/QMeasureParamPage.h"

#include "app/LangTable.h"
#include "measure/MeasureSettings.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(const char* pszKey, const char* pszObjectName, QWidget* pParent)
{
    auto* pLabel = new QLabel(langText(pszKey), pParent);
    pLabel->setObjectName(pszObjectName);
    return pLabel;
}

} // namespace

QMeasureParamPage::QMeasureParamPage(QWidget* parent) : QWidget(parent)
{
    setObjectName("MeasureParamPage");
    auto* pOuter = new QVBoxLayout(this);
    auto* pForm = new QFormLayout;
    pForm->setContentsMargins(40, 0, 0, 0);
    pForm->setHorizontalSpacing(20);
    pForm->setVerticalSpacing(20);
    pForm->addRow(makeLabel("BasicTemperParam", "Label_F5_16", this));

    m_pEmissivity = new QDoubleSpinBox(this);
    m_pEmissivity->setObjectName("EmissivitySpinBox");
    m_pEmissivity->setRange(Measure::Emissivity::kMin, Measure::Emissivity::kMax);
    m_pEmissivity->setSingleStep(0.01);
    m_pEmissivity->setDecimals(2);
    m_pEmissivity->setFixedSize(212, 32);
    m_pMaterial = new QComboBox(this);
    m_pMaterial->setObjectName("MaterialComboBox");
    m_pMaterial->setView(new QListView(m_pMaterial));
    m_pMaterial->setFixedSize(212, 32);
    m_pMaterial->addItem(langText("None"), 0.0);
    for (const QString& key : Measure::materialPresetKeys())
        m_pMaterial->addItem(langText(key), Measure::presetEmissivity(key));
    auto* pEmissivityRow = new QHBoxLayout;
    pEmissivityRow->addWidget(m_pEmissivity);
    pEmissivityRow->addWidget(m_pMaterial);
    pEmissivityRow->addStretch(1);
    pForm->addRow(makeLabel("Emissivity", "Label_FF_85", this), pEmissivityRow);

    m_pReflected = new QDoubleSpinBox(this);
    m_pReflected->setObjectName("ReflectedSpinBox");
    m_pReflected->setRange(Measure::kMinReflected, Measure::kMaxReflected);
    m_pReflected->setSingleStep(0.5);
    m_pReflected->setDecimals(1);
    m_pReflected->setSuffix(QString::fromUtf8(" ℃"));
    m_pReflected->setFixedSize(212, 32);
    pForm->addRow(makeLabel("ReflexTemper", "Label_FF_85", this), m_pReflected);

    m_pShowRules = new QRadioButton(langText("Show with rules"), this);
    m_pNotShow = new QRadioButton(langText("NotShow"), this);
    auto* pGroup = new QButtonGroup(this);
    pGroup->addButton(m_pShowRules);
    pGroup->addButton(m_pNotShow);
    auto* pShowRow = new QHBoxLayout;
    pShowRow->addWidget(m_pShowRules);
    pShowRow->addWidget(m_pNotShow);
    pShowRow->addStretch(1);
    pForm->addRow(makeLabel("TemperInfo", "Label_FF_85", this), pShowRow);
    pOuter->addLayout(pForm);
    pOuter->addStretch(1);

    auto* pCtrl = new QHBoxLayout;
    m_pOkBtn = new QPushButton(langText("OK"), this);
    m_pOkBtn->setObjectName("BtnStyle1");
    m_pOkBtn->setFixedSize(160, 32);
    m_pDefaultBtn = new QPushButton(langText("Default"), this);
    m_pDefaultBtn->setObjectName("BtnStyle2");
    m_pDefaultBtn->setFixedSize(160, 32);
    pCtrl->addStretch(1);
    pCtrl->addWidget(m_pOkBtn);
    pCtrl->addWidget(m_pDefaultBtn);
    pCtrl->addStretch(1);
    pOuter->addLayout(pCtrl);

    connect(m_pOkBtn, SIGNAL(clicked()), this, SLOT(setOkBtnSlots()));
    connect(m_pDefaultBtn, SIGNAL(clicked()), this, SLOT(setDefaultBtnSlots()));
    connect(m_pMaterial, SIGNAL(activated(int)), this, SLOT(setMaterialSlots(int)));
    load();
}

void QMeasureParamPage::load()
{
    const Measure::Emissivity e = Measure::loadEmissivity();
    m_pEmissivity->setValue(e.fEmissivity);
    m_pReflected->setValue(e.fReflected);
    m_pMaterial->setCurrentIndex(0);
    const bool bShow = Measure::loadShowRules();
    m_pShowRules->setChecked(bShow);
    m_pNotShow->setChecked(!bShow);
}

void QMeasureParamPage::setMaterialSlots(int nIndex)
{
    const double e = m_pMaterial->itemData(nIndex).toDouble();
    if (e > 0.0)
        m_pEmissivity->setValue(e);
}

void QMeasureParamPage::setOkBtnSlots()
{
    Measure::Emissivity e;
    e.fEmissivity = m_pEmissivity->value();
    e.fReflected = m_pReflected->value();
    Measure::saveEmissivity(e);
    Measure::saveShowRules(m_pShowRules->isChecked());
    QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
}

void QMeasureParamPage::setDefaultBtnSlots()
{
    Measure::saveEmissivity(Measure::Emissivity());
    Measure::saveShowRules(false);
    load();
    QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
}
