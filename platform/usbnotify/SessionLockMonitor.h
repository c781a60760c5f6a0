#pragma once
// Lock and unlock of the user's session, from logind over the system D-Bus (the session that
// this process belongs to). Where there is no system bus or no logind, nothing is reported.

#include <QObject>
#include <QString>

class SessionLockMonitor : public QObject
{
    Q_OBJECT

public:
    explicit SessionLockMonitor(QObject* parent = nullptr);

    // The logind session object path once it is known (empty until then, or for good).
    QString sessionPath() const { return m_qStrSessionPath; }

signals:
    void sessionLocked();
    void sessionUnlocked();

private slots:
    void onLock();
    void onUnlock();

private:
    void subscribe(const QString& qStrPath);

    QString m_qStrSessionPath;
};
