// One running ShareMount per user and record folder: a second start hands its request to the first and ends.
#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int ConnectWait = 1000;
constexpr int AnswerWait = 5000;
// A start that holds the lock listens within milliseconds; one that does not within this long never will.
constexpr int StartWait = 3000;
constexpr int RetryPause = 100;
// An unattended run without a display ends after its batch, within seconds for each record it connects.
constexpr int RefusedWait = 60000;
// The requests are single short lines from this user's own starts: anything longer or slower is not one.
constexpr int IdleLimit = 3000;
constexpr qint64 LineLimit = 16;
constexpr int ClientLimit = 8;

const QByteArray ShowLine = QByteArrayLiteral("show\n");
const QByteArray AutoLine = QByteArrayLiteral("auto\n");
const QByteArray TakenLine = QByteArrayLiteral("ok\n");
const QByteArray RefusedLine = QByteArrayLiteral("busy\n");

// The folder need not exist yet; its existing part is resolved, so that a path through a symbolic link and the
// real one name the same program whether or not the folder has been made meanwhile.
QString canonicalAsPossible(const QString& folder)
{
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QString rest;
    for (;;) {
        if (const QString canonical = QFileInfo(path).canonicalFilePath(); !canonical.isEmpty())
            return QDir::cleanPath(canonical + rest);
        const qsizetype slash = path.lastIndexOf(u'/');
        rest.prepend(path.mid(slash));
        path = slash > 0 ? path.left(slash) : QStringLiteral("/");
    }
}

bool fitsSocketAddress(const QString& path)
{
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

// Anyone may make folders in the temporary folder: only one of this user's own and closed to others will do.
bool makeOwnFolder(const QString& folder, QString* error)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("Cannot create the folder %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat status
    { };
    if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()
        || (status.st_mode & 077) != 0) {
        *error = QStringLiteral("%1 is not a folder of this user's own, closed to others").arg(folder);
        return false;
    }
    return true;
}

void drop(QLocalSocket* client)
{
    client->abort();
    client->deleteLater();
}

} // namespace

SingleInstance::SingleInstance(const QString& dataFolder, const QProcessEnvironment& environment, QObject* parent)
    : QObject(parent)
    , m_folder(canonicalAsPossible(dataFolder))
{
    const QByteArray hash = QCryptographicHash::hash(m_folder.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString name = QStringLiteral("/sharemount-") + QString::fromLatin1(hash.left(16));
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir() && fitsSocketAddress(runtime + name)) {
        m_runtimeFolder = QDir::cleanPath(runtime);
    } else {
        const QString temporary = environment.value(QStringLiteral("TMPDIR"));
        m_runtimeFolder = QDir::cleanPath(QDir::isAbsolutePath(temporary) ? temporary : QDir::tempPath())
            + QStringLiteral("/sharemount-") + QString::number(::getuid());
        m_ownRuntimeFolder = true;
    }
    m_serverPath = m_runtimeFolder + name;
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

SingleInstance::Outcome SingleInstance::claim(Request request)
{
    if (m_ownRuntimeFolder && !makeOwnFolder(m_runtimeFolder, &m_error))
        return Outcome::Failed;
    QDeadlineTimer starting(StartWait);
    const QDeadlineTimer refused(RefusedWait);
    for (;;) {
        const Answer answer = ask(request);
        if (answer == Answer::Taken)
            return Outcome::Delivered;
        if (answer == Answer::Refused) {
            if (refused.hasExpired()) {
                m_error = QStringLiteral("ShareMount is connecting the auto-connect drives of %1 without a display, "
                                         "and has not ended within a minute")
                              .arg(m_folder);
                return Outcome::Failed;
            }
            starting.setRemainingTime(StartWait);
            QThread::msleep(RetryPause);
            continue;
        }
        // Also after a listener that did not answer: if it has died meanwhile, its lock is free.
        switch (takeLock()) {
        case Lock::Taken:
            return listen() ? Outcome::Primary : Outcome::Failed;
        case Lock::Failed:
            return Outcome::Failed;
        case Lock::Held:
            break;
        }
        if (answer == Answer::Unanswered) {
            m_error = QStringLiteral("ShareMount is already running for %1%2 but does not answer")
                          .arg(QDir::toNativeSeparators(m_folder), holder());
            return Outcome::Failed;
        }
        if (starting.hasExpired()) {
            m_error = QStringLiteral("ShareMount is already running for %1%2 but cannot be reached through %3")
                          .arg(QDir::toNativeSeparators(m_folder), holder(), m_serverPath);
            return Outcome::Failed;
        }
        QThread::msleep(RetryPause);
    }
}

SingleInstance::Answer SingleInstance::ask(Request request)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverPath);
    if (!socket.waitForConnected(ConnectWait))
        return Answer::NobodyListens;
    socket.write(request == Request::Show ? ShowLine : AutoLine);
    const QDeadlineTimer answering(AnswerWait);
    while (!socket.canReadLine() && socket.waitForReadyRead(int(answering.remainingTime()))) { }
    if (!socket.canReadLine())
        return Answer::Unanswered;
    const QByteArray answer = socket.readLine();
    return answer == TakenLine ? Answer::Taken : answer == RefusedLine ? Answer::Refused : Answer::Unanswered;
}

SingleInstance::Lock SingleInstance::takeLock()
{
    const QString besideSocket = m_serverPath + QStringLiteral(".lock");
    if (!m_lock) {
        // A record folder not made yet has its lock beside the socket.
        const bool folderExists = QFileInfo(m_folder).isDir();
        m_lock = std::make_unique<QLockFile>(folderExists ? m_folder + QStringLiteral("/drvmap.lock") : besideSocket);
        // The lock is held for hours: only a dead holder, never an old one, makes it stale.
        m_lock->setStaleLockTime(0);
    }
    if (m_lock->tryLock(0))
        return Lock::Taken;
    if (m_lock->error() == QLockFile::LockFailedError)
        return Lock::Held;
    // A record folder this user cannot write to, such as a portable copy on read-only media.
    if (m_lock->fileName() != besideSocket) {
        m_lock = std::make_unique<QLockFile>(besideSocket);
        m_lock->setStaleLockTime(0);
        return takeLock();
    }
    m_error = QStringLiteral("Cannot create the lock file %1").arg(besideSocket);
    return Lock::Failed;
}

QString SingleInstance::holder() const
{
    qint64 pid = 0;
    QString host;
    if (!m_lock->getLockInfo(&pid, &host, nullptr))
        return QString();
    return QStringLiteral(" (process %1 on %2)").arg(pid).arg(host);
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(ClientLimit);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // With the lock held, a socket file here is a dead holder's.
    QLocalServer::removeServer(m_serverPath);
    if (m_server->listen(m_serverPath))
        return true;
    m_error = QStringLiteral("Cannot listen on %1: %2").arg(m_serverPath, m_server->errorString());
    return false;
}

void SingleInstance::accept()
{
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        if (m_clients >= ClientLimit) {
            drop(client);
            continue;
        }
        ++m_clients;
        connect(client, &QObject::destroyed, this, [this] { --m_clients; });
        client->setReadBufferSize(LineLimit);
        auto* idle = new QTimer(client);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, client, [client] { drop(client); });
        idle->start(IdleLimit);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
        read(client);
    }
}

void SingleInstance::read(QLocalSocket* client)
{
    if (client->state() != QLocalSocket::ConnectedState)
        return;
    if (!client->canReadLine()) {
        if (client->bytesAvailable() >= LineLimit)
            drop(client);
        return;
    }
    const QByteArray line = client->readLine();
    if (line != ShowLine && line != AutoLine) {
        drop(client);
        return;
    }
    const bool refused = line == ShowLine && m_refusesShow;
    // Answered first: the other start waits only so long, and a request may open a dialog.
    client->write(refused ? RefusedLine : TakenLine);
    client->flush();
    client->disconnectFromServer();
    if (refused)
        return;
    if (line == ShowLine)
        emit showRequested();
    else
        emit autoConnectRequested();
}
