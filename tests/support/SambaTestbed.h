// The private Samba server of tests/samba/testbed: the one CTest starts for the run, or one of a test's own.
#pragma once

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>

#include <csignal>

class SambaTestbed
{
public:
    // The server whose testbed folder is dir, started already.
    static SambaTestbed at(const QString& dir)
    {
        SambaTestbed testbed;
        testbed.m_dir = dir;
        QFile file(dir + QStringLiteral("/env"));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                const qsizetype equals = line.indexOf('=');
                if (equals > 0)
                    testbed.m_values.insert(QString::fromUtf8(line.left(equals)),
                                            QString::fromUtf8(line.mid(equals + 1)));
            }
        }
        return testbed;
    }

    // Runs the testbed script: start or stop.
    static bool run(const QString& command, const QString& dir)
    {
        return QProcess::execute(QStringLiteral(SAMBA_TESTBED), {command, dir}) == 0;
    }

    bool isRunning() const { return !m_values.isEmpty(); }
    // Sends signal to smbd and to the processes that serve its clients: SIGSTOP makes a server that has stopped
    // answering, SIGCONT brings it back.
    bool signal(int signal) const
    {
        QFile pidFile(m_dir + QStringLiteral("/run/smbd.pid"));
        const pid_t smbd = pidFile.open(QIODevice::ReadOnly) ? pid_t(pidFile.readAll().trimmed().toInt()) : 0;
        // smbd leads a session of its own, its children's too.
        return smbd > 0 && ::kill(-smbd, signal) == 0;
    }
    quint16 port() const { return quint16(value("SAMBA_PORT").toUInt()); }
    // The folder that share a or b serves.
    QString shareFolder(char share) const
    {
        return value("SAMBA_DIR") + QStringLiteral("/shares/") + QLatin1Char(share);
    }
    // User and password of test user a, b or c (c is disabled).
    QString user(char who) const { return value(QByteArray("USER_") + char(who - 'a' + 'A')); }
    QString password(char who) const { return value(QByteArray("PASSWORD_") + char(who - 'a' + 'A')); }

private:
    QString value(const QByteArray& name) const { return m_values.value(QString::fromLatin1(name)); }

    QString m_dir;
    QMap<QString, QString> m_values;
};
