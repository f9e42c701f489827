// What the benchmark programs share: their rows for the table, medians, child programs, and a private Samba
// share with the ways to it that the drive is compared with (smbclient, GVfs).
#pragma once

#include "net/Wnet.h"
#include "platform/LinuxWnet.h"
#include "support/SambaTestbed.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace Bench {

// One row of the table that the bench target prints, on standard output: what was measured, the figure, its unit,
// the target (empty where there is none) and what it is compared with. The figure has decimals digits.
void row(const QString& what, double figure, int decimals, const QString& unit, const QString& target = {},
         const QString& compared = {});
// A target's text with whether the figure meets it.
QString target(const QString& text, bool met);

double medianMs(QList<qint64> nanoseconds);
double median(QList<double> values);

// Runs program to its end; false, with its error output on stderr, unless it ends with status 0.
bool run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
         const QByteArray& input = {});

// Record files of count saved slots, each a different record.
QByteArray savedSlots(int count);

// A D-Bus session of the benchmark's own, in which GVfs starts on demand.
class DbusSession
{
public:
    DbusSession();
    ~DbusSession();
    Q_DISABLE_COPY_MOVE(DbusSession)
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// A private Samba server for the run, with share a reached four ways: through the networking layer on drive F,
// a bare rclone mount, smbclient and GVfs. Needs root.
class BenchShare
{
public:
    BenchShare();
    ~BenchShare();
    Q_DISABLE_COPY_MOVE(BenchShare)

    bool isRunning() const { return m_samba.isRunning(); }
    const SambaTestbed& samba() const { return m_samba; }
    // A path in the benchmark's own folder.
    QString path(const QString& name) const { return m_work.filePath(name); }
    QString drives() const { return path(QStringLiteral("Drives")); }
    // The drive's folder, once connected.
    QString drive() const { return drives() + QStringLiteral("/F"); }

    LinuxWnet::Settings settings() const { return m_settings; }
    // Connects share a to drive F, or disconnects it waiting for what was saved on it to reach the server.
    bool connect(LinuxWnet& wnet) const;
    bool disconnect(LinuxWnet& wnet, bool force = false) const;

    // smbclient's arguments for a session that logs on to share a and runs commands.
    QStringList smbclient(const QString& commands) const;
    QProcessEnvironment environment() const { return m_environment; }

    // GVfs in the private session: the environment for gio, the share's location and the answers to gio mount's
    // questions.
    QProcessEnvironment gvfs() const { return m_gvfs; }
    QString location() const { return m_location; }
    QByteArray gioAnswers() const;

private:
    QTemporaryDir m_work;
    SambaTestbed m_samba;
    QProcessEnvironment m_environment;
    LinuxWnet::Settings m_settings;
    DbusSession m_session;
    QProcessEnvironment m_gvfs;
    QString m_location;
};

} // namespace Bench
