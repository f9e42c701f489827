#include "platform/Subprocess.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Zero-terminated copies of the texts, and the pointer array that exec wants.
class CStrings
{
public:
    explicit CStrings(const QStringList& texts)
    {
        for (const QString& text : texts)
            m_storage.push_back(text.toLocal8Bit());
        for (QByteArray& text : m_storage)
            m_pointers.push_back(text.data());
        m_pointers.push_back(nullptr);
    }
    char* const* data() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_storage;
    std::vector<char*> m_pointers;
};

QString systemError(const char* what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

QByteArray readFrom(int fd)
{
    QByteArray contents;
    char buffer[4096];
    ssize_t count;
    off_t offset = 0;
    while (fd >= 0 && (count = pread(fd, buffer, sizeof buffer, offset)) > 0) {
        contents.append(buffer, count);
        offset += count;
    }
    return contents;
}

} // namespace

Subprocess::~Subprocess()
{
    if (m_pid > 0) {
        kill();
        waitForExit(std::chrono::seconds(1));
    }
    closeAll();
}

bool Subprocess::start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                       const Options& options, QString* error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.channel >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.channel, 0);
        posix_spawn_file_actions_adddup2(&actions, options.channel, 1);
    } else {
        // Anonymous files rather than pipes: a program that keeps running keeps writing, and a pipe nobody
        // reads would stall it, or kill it once closed.
        m_outputFd = memfd_create("stdout", MFD_CLOEXEC);
        m_errorFd = memfd_create("stderr", MFD_CLOEXEC);
        if (m_outputFd < 0 || m_errorFd < 0) {
            *error = systemError("memfd_create", errno);
            posix_spawn_file_actions_destroy(&actions);
            closeAll();
            return false;
        }
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, m_outputFd, 1);
        posix_spawn_file_actions_adddup2(&actions, m_errorFd, 2);
    }
    // Each file handed on is copied above the numbers it is to take, so that none overwrites another on its way.
    const int handedOn = int(options.handedOn.size());
    std::vector<int> copies;
    const auto closeCopies = qScopeGuard([&copies] {
        for (const int copy : copies)
            close(copy);
    });
    for (int i = 0; i < handedOn; ++i) {
        const int copy = fcntl(options.handedOn[i], F_DUPFD_CLOEXEC, 3 + handedOn);
        if (copy < 0) {
            *error = systemError("fcntl", errno);
            posix_spawn_file_actions_destroy(&actions);
            closeAll();
            return false;
        }
        copies.push_back(copy);
        posix_spawn_file_actions_adddup2(&actions, copy, 3 + i);
    }
    // A mount's rclone lives long: it must hold no pipe of ours open, nor keep the folder we started in busy.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3 + handedOn);
    posix_spawn_file_actions_addchdir_np(&actions, "/");
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The defaults matter: a program inherits its parent's blocked signals and ignored SIGPIPE otherwise.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.newSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);

    CStrings argv(QStringList {program} + arguments);
    CStrings envp(environment.toStringList());
    const QByteArray path = program.toLocal8Bit();
    const int failure = posix_spawn(&m_pid, path.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failure != 0) {
        m_pid = -1;
        *error = systemError(path.constData(), failure);
        closeAll();
        return false;
    }
    m_newSession = options.newSession;
    m_pidFd = openProcess(m_pid).release();
    // Already ended, and collected by the kernel for a parent that ignores SIGCHLD: its number may be another's.
    m_statusLost = m_pidFd < 0 && errno == ESRCH;
    if (m_pidFd < 0 && !m_statusLost) {
        *error = systemError("pidfd_open", errno);
        kill();
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        closeAll();
        return false;
    }
    return true;
}

std::optional<int> Subprocess::waitForExit(std::chrono::milliseconds limit)
{
    if (m_pid <= 0)
        return std::nullopt;
    if (!m_statusLost && !waitForEnd(m_pidFd, limit))
        return std::nullopt;
    int status = 0;
    pid_t waited = -1;
    while (!m_statusLost && (waited = waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) { }
    m_pid = -1;
    // Ended, but ECHILD: the kernel has collected it already.
    if (waited < 0)
        return StatusLost;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Subprocess::kill()
{
    if (m_pid > 0 && !m_statusLost)
        ::kill(m_newSession ? -m_pid : m_pid, SIGKILL);
}

Subprocess::Running Subprocess::release()
{
    Running running {std::exchange(m_pid, -1), UniqueFd(std::exchange(m_pidFd, -1))};
    closeAll();
    return running;
}

QByteArray Subprocess::output() const
{
    return readFrom(m_outputFd);
}

QString Subprocess::errorOutput() const
{
    return QString::fromLocal8Bit(readFrom(m_errorFd)).trimmed();
}

QString Subprocess::findProgram(const QString& name, const QProcessEnvironment& environment)
{
    for (const QString& folder : environment.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts)) {
        const QString candidate = folder + u'/' + name;
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return candidate;
    }
    return {};
}

UniqueFd Subprocess::openProcess(pid_t process)
{
    return UniqueFd(int(syscall(SYS_pidfd_open, process, 0)));
}

bool Subprocess::waitForEnd(int pidFd, std::chrono::milliseconds limit)
{
    pollfd ended {pidFd, POLLIN, 0};
    int ready;
    while ((ready = poll(&ended, 1, int(limit.count()))) < 0 && errno == EINTR) { }
    return ready > 0;
}

void Subprocess::closeAll()
{
    for (int* fd : {&m_pidFd, &m_outputFd, &m_errorFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}
