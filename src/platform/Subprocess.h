// Starting helper programs (rclone, fusermount3) with an exact argument list and environment, no shell.
#pragma once

#include "platform/UniqueFd.h"

#include <QList>
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

    struct Options
    {
        // In a session of its own the program outlives this one and the terminal it was started from.
        bool newSession = false;
        // A socket for the program's stdin and stdout; its stderr is then this program's. Without one, stdin
        // is /dev/null and stdout and stderr are kept for output() and errorOutput().
        int channel = -1;
        // Files the program is given as descriptors 3, 4 and so on. It inherits no other file of this program's.
        QList<int> handedOn;
    };

    // Starts program in /, with no shell between.
    bool start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
               const Options& options, QString* error);

    // Becomes readable when the program ends; for poll().
    int exitNotifier() const { return m_pidFd; }

    // The exit status once the program has ended within limit: -1 for a program killed by a signal,
    // StatusLost when nobody can know it (a parent that ignores SIGCHLD lets the kernel collect its children).
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    static constexpr int StatusLost = -2;
    // Ends the program and its session.
    void kill();
    struct Running
    {
        pid_t pid;
        UniqueFd pidFd;
    };
    // Stops watching a program that is meant to keep running, for a ChildReaper to collect once it ends.
    Running release();

    // What the program wrote to stdout and to stderr so far.
    QByteArray output() const;
    QString errorOutput() const;

    // The program's full path found in the environment's PATH, or an empty text.
    static QString findProgram(const QString& name, const QProcessEnvironment& environment);
    // A pidfd of process, any process of this user's, which cannot come to stand for another; invalid when the
    // process has gone.
    static UniqueFd openProcess(pid_t process);
    // True once the process behind pidFd has ended, waiting at most limit.
    static bool waitForEnd(int pidFd, std::chrono::milliseconds limit);

private:
    void closeAll();

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_outputFd = -1;
    int m_errorFd = -1;
    bool m_newSession = false;
    bool m_statusLost = false;
};
