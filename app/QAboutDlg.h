#pragma once
// About box: program name, version, date and the link to the open source licences.

#include <QDialog>

class QLabel;

class QAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit QAboutDlg(QWidget* parent = nullptr);

    QLabel* linkLabel() const { return m_pLinkLabel; }
    static QString licenseFolder();
    static QString linkText();

public slots:
    void setWndCloseSlots();
    void setOpenSourceLicenseLinkSlots(const QString& qStrPath);

private:
    QLabel* m_pLinkLabel = nullptr;
};
