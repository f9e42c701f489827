// Starting helper programs (rclone, fusermount3) with an exact argument list and environment, no shell.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <sys/types.h>

class Subprocess
{
public:
    Subprocess() = default;
    ~Subprocess();
    Q_DISABLE_COPY_MOVE(Subprocess)

    // Starts program in /, with nothing on its stdin and its stdout and stderr kept for output() and
    // errorOutput(); or, given a channel (a socket), talking through it on stdin and stdout and writing to this
    // program's stderr. It inherits no other file of this program's. A program in a session of its own outlives
    // this one and the terminal it was started from.
    bool start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
               bool newSession, QString* error, int channel = -1);

    pid_t pid() const { return m_pid; }
    // Becomes readable when the program ends; for poll().
    int exitNotifier() const { return m_pidFd; }

    // The exit status once the program has ended within limit; -1 for a program killed by a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    // Ends the program and its session.
    void kill();
    // Stops watching a program that is meant to keep running; reapChild() collects it after it ends.
    pid_t release();

    // What the program wrote to stdout and to stderr so far.
    QByteArray output() const;
    QString errorOutput() const;

    // Collects a released program that has ended, without waiting. True once it has.
    static bool reapChild(pid_t pid);
    // The program's full path found in the environment's PATH, or an empty text.
    static QString findProgram(const QString& name, const QProcessEnvironment& environment);

private:
    void closeAll();

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_outputFd = -1;
    int m_errorFd = -1;
    bool m_newSession = false;
};
