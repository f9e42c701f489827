#include "platform/Subprocess.h"

#include <QFileInfo>

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
                       bool newSession, QString* error, int channel)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (channel >= 0) {
        posix_spawn_file_actions_adddup2(&actions, channel, 0);
        posix_spawn_file_actions_adddup2(&actions, channel, 1);
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
    // A mount's rclone lives long: it must hold no pipe of ours open, nor keep the folder we started in busy.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
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
    if (newSession)
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
    m_newSession = newSession;
    m_pidFd = int(syscall(SYS_pidfd_open, m_pid, 0));
    if (m_pidFd < 0) {
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
    pollfd exited {m_pidFd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&exited, 1, int(limit.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return std::nullopt;
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(m_pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    m_pid = -1;
    if (waited < 0)
        return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Subprocess::kill()
{
    if (m_pid > 0)
        ::kill(m_newSession ? -m_pid : m_pid, SIGKILL);
}

pid_t Subprocess::release()
{
    const pid_t pid = m_pid;
    m_pid = -1;
    closeAll();
    return pid;
}

QByteArray Subprocess::output() const
{
    return readFrom(m_outputFd);
}

QString Subprocess::errorOutput() const
{
    return QString::fromLocal8Bit(readFrom(m_errorFd)).trimmed();
}

bool Subprocess::reapChild(pid_t pid)
{
    int status;
    return waitpid(pid, &status, WNOHANG) != 0;
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

void Subprocess::closeAll()
{
    for (int* fd : {&m_pidFd, &m_outputFd, &m_errorFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}
