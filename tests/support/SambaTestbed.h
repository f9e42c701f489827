// A private Samba server that tests/samba/testbed has started: the one CTest starts for the run, or one of a
// test's own.
#pragma once

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

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
        if (!isRunning())
            return false;
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

// A server of a test's own, which the test may stop, kill and start again; it goes with the test.
class PrivateSamba
{
public:
    PrivateSamba()
    {
        // smbd serves the shares as their users, who must be able to reach them.
        QFile::setPermissions(
            m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    }
    ~PrivateSamba()
    {
        m_server.signal(SIGCONT);
        SambaTestbed::run(QStringLiteral("stop"), testbedDir());
    }
    Q_DISABLE_COPY_MOVE(PrivateSamba)

    // Starts it, afresh: on another port, with empty shares.
    bool start()
    {
        m_server = SambaTestbed::run(QStringLiteral("start"), testbedDir()) ? SambaTestbed::at(testbedDir())
                                                                            : SambaTestbed();
        return m_server.isRunning();
    }
    const SambaTestbed& server() const { return m_server; }

private:
    QString testbedDir() const { return m_dir.filePath(QStringLiteral("samba")); }

    QTemporaryDir m_dir;
    SambaTestbed m_server;
};
