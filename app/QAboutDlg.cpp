#include "app/QAboutDlg.h"

#include "app/LangTable.h"
#include "app/Version.h"
#include "widgets/QMessageboxDlg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

QAboutDlg::QAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutDlg");
    setModal(true);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground, true);

    auto* pTitle = new QLabel(langText("About"), this);
    pTitle->setObjectName("Label_F5_16");
    auto* pCloseBtn = new QPushButton(this);
    pCloseBtn->setObjectName("CloseBtn");
    pCloseBtn->setFixedSize(20, 20);
    auto* pTitleRow = new QHBoxLayout;
    pTitleRow->addWidget(pTitle);
    pTitleRow->addStretch(1);
    pTitleRow->addWidget(pCloseBtn);

    auto* pLine = new QLabel(this);
    pLine->setPixmap(QPixmap(":/Resource/Skin/wnd_divide_line_550.png"));

    auto* pForm = new QFormLayout;
    pForm->addRow(langText("Name"), new QLabel("Thermava", this));
    pForm->addRow(langText("Version"), new QLabel(QString("V%1").arg(thermavaVersion()), this));
    pForm->addRow(langText("Date"), new QLabel("2026-07-31", this));

    m_pLinkLabel = new QLabel(linkText(), this);
    m_pLinkLabel->setTextFormat(Qt::RichText);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTitleRow);
    pLayout->addWidget(pLine);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pLinkLabel);

    connect(pCloseBtn, SIGNAL(clicked()), this, SLOT(setWndCloseSlots()));
    connect(m_pLinkLabel, SIGNAL(linkActivated(QString)), this, SLOT(setOpenSourceLicenseLinkSlots(QString)));
}

QString QAboutDlg::licenseFolder() { return QCoreApplication::applicationDirPath() + "/" + "Open Source License"; }

QString QAboutDlg::linkText()
{
    return QString("<a href=") + '"' + licenseFolder() + '"' + " " +
           "style=color:#E67E22;font-size:14px;font-weight:bold;text-decoration:none;" + ">" +
           langText("Open Source License");
}

void QAboutDlg::setWndCloseSlots() { close(); }

void QAboutDlg::setOpenSourceLicenseLinkSlots(const QString& qStrPath)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(qStrPath)))
        QMessageboxDlg::showMessage(this, langText("Path open failed"));
}
