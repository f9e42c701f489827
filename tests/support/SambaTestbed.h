// A private Samba server that tests/samba/testbed has started: the one CTest starts for the run, or one of a
// test's own.
#pragma once

#include <QFile>
#include <QMap>
#include <QProcess>

#include <csignal>

class SambaTestbed
{
public:
    // The server whose testbed folder is dir; one that is not running when dir has none.
    static SambaTestbed at(const QString& dir)
    {
        SambaTestbed testbed;
        testbed.m_dir = dir;
        QFile file(dir + QStringLiteral("/env"));
        for (const QByteArray& line : file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList()) {
            if (const qsizetype equals = line.indexOf('='); equals > 0)
                testbed.m_values.insert(line.left(equals), QString::fromUtf8(line.mid(equals + 1)));
        }
        return testbed;
    }
    // Runs the testbed script: start or stop.
    static bool run(const QString& command, const QString& dir)
    {
        return QProcess::execute(QStringLiteral(SAMBA_TESTBED), {command, dir}) == 0;
    }

    bool isRunning() const { return !m_values.isEmpty(); }
    // Sends signal to smbd and to the processes that serve its clients, which share its session: SIGSTOP makes a
    // server that has stopped answering, SIGCONT brings it back.
    bool signal(int signal) const
    {
        QFile pidFile(m_dir + QStringLiteral("/run/smbd.pid"));
        const pid_t smbd = pidFile.open(QIODevice::ReadOnly) ? pid_t(pidFile.readAll().trimmed().toInt()) : 0;
        return smbd > 0 && ::kill(-smbd, signal) == 0;
    }
    quint16 port() const { return quint16(m_values.value("SAMBA_PORT").toUInt()); }
    // The folder that share a or b serves.
    QString shareFolder(char share) const
    {
        return m_values.value("SAMBA_DIR") + QStringLiteral("/shares/") + QLatin1Char(share);
    }
    // User and password of test user a, b or c (c is disabled).
    QString user(char who) const { return m_values.value("USER_" + QByteArray(1, who).toUpper()); }
    QString password(char who) const { return m_values.value("PASSWORD_" + QByteArray(1, who).toUpper()); }

private:
    QString m_dir;
    QMap<QByteArray, QString> m_values;
};
