#include "platform/SmbProbe.h"

#include "net/Wnet.h"
#include "platform/Subprocess.h"

#include <QDebug>
#include <QUrl>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <libsmbclient.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Session
{
    QByteArray domain;
    QByteArray user;
    QByteArray password;
    bool logonRefused = false;
    bool accountDisabled = false;
};

void copyTo(char* target, int size, const QByteArray& text)
{
    if (size > 0)
        qstrncpy(target, text.constData(), size_t(size));
}

void supplyLogon(SMBCCTX* context, const char*, const char*, char* workgroup, int workgroupSize, char* user,
                 int userSize, char* password, int passwordSize)
{
    const auto* session = static_cast<const Session*>(smbc_getOptionUserData(context));
    if (!session->domain.isEmpty())
        copyTo(workgroup, workgroupSize, session->domain);
    copyTo(user, userSize, session->user);
    copyTo(password, passwordSize, session->password);
}

// A refused log-on and a refused share both come back as EACCES; only the library's log tells them apart, and
// a disabled account from a wrong password.
void watchLog(void* data, int, const char* message)
{
    auto* session = static_cast<Session*>(data);
    if (std::strstr(message, "login failed")) {
        session->logonRefused = true;
        if (std::strstr(message, "account is currently disabled"))
            session->accountDisabled = true;
    }
}

bool isUnreachable(int error)
{
    switch (error) {
    case ECONNREFUSED:
    case ECONNRESET:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN:
        return true;
    default:
        return false;
    }
}

// 0 when the folder at url opens, else errno.
int openFolder(SMBCCTX* context, const QByteArray& url)
{
    SMBCFILE* folder = smbc_getFunctionOpendir(context)(context, url.constData());
    if (!folder)
        return errno ? errno : EIO;
    smbc_getFunctionClosedir(context)(context, folder);
    return 0;
}

bool readExactly(int fd, char* data, size_t size)
{
    while (size > 0) {
        const ssize_t count = read(fd, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= size_t(count);
    }
    return true;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        // No SIGPIPE if the other side has gone: that is an answer, not a reason to end.
        const ssize_t count = send(fd, bytes.constData() + written, size_t(bytes.size() - written), MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

// One line from fd, waiting at most limit in all; nothing when the time runs out, an empty text when fd closes.
std::optional<QByteArray> readLine(int fd, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QByteArray line;
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable {fd, POLLIN, 0};
        const int ready = poll(&readable, 1, int(std::max<qint64>(0, left.count())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char c;
        if (read(fd, &c, 1) != 1 || c == '\n')
            return line;
        line += c;
    }
}

qint32 refusal(const Session& session, qint32 otherwise)
{
    if (!session.logonRefused)
        return otherwise;
    return session.accountDisabled ? ERROR_ACCOUNT_DISABLED : ERROR_INVALID_PASSWORD;
}

// What a share that did not open (shareError) says of the server, the log-on and the share. A refused log-on
// says so in the library's log and is not tried a second time: each failed log-on counts towards a lockout.
qint32 whyRefused(SMBCCTX* context, const Session& session, const QByteArray& server, int shareError)
{
    if (session.logonRefused)
        return refusal(session, ERROR_ACCESS_DENIED);
    if (shareError == EACCES || shareError == EPERM)
        return ERROR_ACCESS_DENIED;
    if (isUnreachable(shareError))
        return ERROR_BAD_NETPATH;
    if (shareError == ENOENT || shareError == ENOTDIR || shareError == ENODEV || shareError == EINVAL) {
        // A share or folder that is not there, or a server name that has no address (EINVAL): the server's list
        // of shares tells which.
        const int serverError = openFolder(context, server);
        return isUnreachable(serverError) || serverError == EINVAL ? ERROR_BAD_NETPATH : ERROR_BAD_NET_NAME;
    }
    qWarning().noquote() << "sharemount: the server refuses the share:" << std::strerror(shareError);
    return ERROR_EXTENDED_ERROR;
}

} // namespace

namespace SmbProbe {

qint32 checkHere(const SmbShare& share, const SmbLogon& logon, quint16 port, std::chrono::milliseconds limit)
{
    Session session {logon.domain.toUtf8(), logon.user.toUtf8(), logon.password.toUtf8()};
    SMBCCTX* context = smbc_new_context();
    if (!context)
        return ERROR_BAD_PROVIDER;
    smbc_setOptionUserData(context, &session);
    smbc_setFunctionAuthDataWithContext(context, supplyLogon);
    smbc_setOptionNoAutoAnonymousLogin(context, true);
    smbc_setOptionUseKerberos(context, false);
    smbc_setOptionUseCCache(context, false);
    smbc_setPort(context, port);
    smbc_setTimeout(context, int(limit.count()));
    // Level 3 carries the log-on failure's reason; the callback takes it all, nothing reaches stderr.
    smbc_setDebug(context, 3);
    smbc_setLogCallback(context, &session, watchLog);
    if (!smbc_init_context(context)) {
        const int error = errno;
        smbc_free_context(context, true);
        qWarning().noquote() << "sharemount: the SMB client library does not start:" << std::strerror(error);
        return ERROR_BAD_PROVIDER;
    }

    const QByteArray server = "smb://" + QUrl::toPercentEncoding(share.server) + '/';
    QByteArray folder = server + QUrl::toPercentEncoding(share.share);
    for (const QString& name : share.folders)
        folder += '/' + QUrl::toPercentEncoding(name);

    // The share first: when it opens, that is all.
    const int shareError = openFolder(context, folder);
    const qint32 result = shareError == 0 ? NO_ERROR : whyRefused(context, session, server, shareError);
    smbc_free_context(context, true);
    return result;
}

QByteArray Request::toBytes() const
{
    // Zero bytes apart: no field can hold one, since texts from the record file end at their first.
    const QStringList fields {QString::number(port),
                              QString::number(limit.count()),
                              share.server,
                              share.share,
                              share.folders.join(u'/'),
                              logon.domain,
                              logon.user,
                              logon.password};
    return fields.join(QChar(0)).toUtf8();
}

std::optional<Request> Request::fromBytes(const QByteArray& bytes)
{
    const QStringList fields = QString::fromUtf8(bytes).split(QChar(0));
    if (fields.size() != 8)
        return std::nullopt;
    bool portValid = false;
    bool limitValid = false;
    Request parsed {
        {fields[2], fields[3], fields[4].split(u'/', Qt::SkipEmptyParts)},
        {fields[5], fields[6], fields[7]},
        fields[0].toUShort(&portValid),
        std::chrono::milliseconds(fields[1].toInt(&limitValid)),
    };
    if (!portValid || !limitValid)
        return std::nullopt;
    return parsed;
}

int serve(int channel)
{
    // Each request is its length (4 bytes, little-endian) and its bytes; each answer a line with the code.
    for (;;) {
        quint32 size = 0;
        if (!readExactly(channel, reinterpret_cast<char*>(&size), sizeof size))
            return 0;
        size = qFromLittleEndian(size);
        if (size > 1 << 16)
            return 2;
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        if (!readExactly(channel, bytes.data(), size))
            return 2;
        const std::optional<Request> request = Request::fromBytes(bytes);
        const qint32 result
            = request ? checkHere(request->share, request->logon, request->port, request->limit) : ERROR_BAD_PROVIDER;
        if (!writeAll(channel, QByteArray::number(result) + '\n'))
            return 2;
    }
}

} // namespace SmbProbe

SmbChecker::SmbChecker(QString program)
    : m_program(std::move(program))
{ }

SmbChecker::~SmbChecker()
{
    stop();
}

bool SmbChecker::start()
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    m_helper = std::make_unique<Subprocess>();
    Subprocess::Options options;
    options.channel = ends[1];
    QString error;
    const bool started = m_helper->start(m_program, {}, QProcessEnvironment::systemEnvironment(), options, &error);
    close(ends[1]);
    if (!started) {
        close(ends[0]);
        m_helper.reset();
        qWarning().noquote() << "sharemount: cannot start the SMB check:" << error;
        return false;
    }
    m_channel = ends[0];
    return true;
}

void SmbChecker::stop()
{
    if (m_channel >= 0)
        close(m_channel);
    m_channel = -1;
    // The helper holds nothing worth a goodbye, and one stuck in a check would not hear it.
    m_helper.reset();
}

qint32 SmbChecker::check(const SmbShare& share, const SmbLogon& logon, quint16 port, std::chrono::milliseconds limit)
{
    const QByteArray bytes = SmbProbe::Request {share, logon, port, limit}.toBytes();
    const quint32 size = qToLittleEndian(quint32(bytes.size()));
    const QByteArray request = QByteArray(reinterpret_cast<const char*>(&size), sizeof size) + bytes;
    // A helper that has ended since the last check (killed, or crashed) is replaced, once.
    for (int attempt = 1;; ++attempt) {
        if (!m_helper && !start())
            return ERROR_BAD_PROVIDER;
        if (writeAll(m_channel, request)) {
            const std::optional<QByteArray> answer = readLine(m_channel, limit);
            if (!answer) {
                stop();
                return ERROR_BAD_NETPATH;
            }
            bool valid = false;
            const qint32 result = answer->toInt(&valid);
            if (valid)
                return result;
        }
        stop();
        if (attempt == 2) {
            qWarning().noquote() << "sharemount: the SMB check has ended unexpectedly";
            return ERROR_BAD_PROVIDER;
        }
    }
}
