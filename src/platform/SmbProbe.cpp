#include "platform/SmbProbe.h"

#include "net/Wnet.h"

#include <QDebug>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <future>
#include <libsmbclient.h>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// The library keeps its debug level and log callback in globals: one probe at a time.
std::mutex libraryLock;

struct Session
{
    QByteArray domain;
    QByteArray user;
    QByteArray password;
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

// A refused log-on comes back as EACCES whatever the reason; only the library's log tells a disabled account
// from a wrong password.
void watchLog(void* data, int, const char* message)
{
    if (std::strstr(message, "login failed") && std::strstr(message, "account is currently disabled"))
        static_cast<Session*>(data)->accountDisabled = true;
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

QByteArray urlPart(const QString& text)
{
    return QUrl::toPercentEncoding(text);
}

qint32 probe(const SmbShare& share, std::shared_ptr<Session> session, quint16 port, int timeoutMs)
{
    const std::lock_guard lock(libraryLock);
    SMBCCTX* context = smbc_new_context();
    if (!context)
        return ERROR_BAD_PROVIDER;
    smbc_setOptionUserData(context, session.get());
    smbc_setFunctionAuthDataWithContext(context, supplyLogon);
    smbc_setOptionNoAutoAnonymousLogin(context, true);
    smbc_setOptionUseKerberos(context, false);
    smbc_setOptionUseCCache(context, false);
    smbc_setPort(context, port);
    smbc_setTimeout(context, timeoutMs);
    // Level 3 carries the log-on failure's reason; nothing reaches stderr, the callback takes it all.
    smbc_setDebug(context, 3);
    smbc_setLogCallback(context, session.get(), watchLog);
    if (!smbc_init_context(context)) {
        const int error = errno;
        smbc_free_context(context, true);
        qWarning().noquote() << "sharemount: the SMB client library does not start:" << std::strerror(error);
        return ERROR_BAD_PROVIDER;
    }

    const QByteArray server = "smb://" + urlPart(share.server) + '/';
    QByteArray folder = server + urlPart(share.share);
    for (const QString& name : share.folders)
        folder += '/' + urlPart(name);

    // Listing the server's shares needs only the log-on, so a refusal here is about the user, not the share.
    qint32 result = NO_ERROR;
    const int logonError = openFolder(context, server);
    if (logonError == EACCES || logonError == EPERM) {
        result = session->accountDisabled ? ERROR_ACCOUNT_DISABLED : ERROR_INVALID_PASSWORD;
    } else if (isUnreachable(logonError) || logonError == EINVAL) { // EINVAL: the name has no address
        result = ERROR_BAD_NETPATH;
    } else {
        // Some servers refuse to list their shares to anyone; the share itself still tells.
        const int shareError = openFolder(context, folder);
        if (shareError == EACCES || shareError == EPERM)
            result = ERROR_ACCESS_DENIED;
        else if (shareError == ENOENT || shareError == ENOTDIR || shareError == ENODEV || shareError == EINVAL)
            result = ERROR_BAD_NET_NAME;
        else if (isUnreachable(shareError))
            result = ERROR_BAD_NETPATH;
        else if (shareError != 0) {
            qWarning().noquote() << "sharemount: the server refuses the share:" << std::strerror(shareError);
            result = ERROR_EXTENDED_ERROR;
        }
    }
    // Back to silence: the level outlives the context, and without the callback the library writes to stderr.
    smbc_setDebug(context, 0);
    smbc_setLogCallback(context, nullptr, nullptr);
    smbc_free_context(context, true);
    return result;
}

} // namespace

namespace SmbProbe {

qint32 check(const SmbShare& share, const SmbLogon& logon, quint16 port, std::chrono::milliseconds limit)
{
    auto session = std::make_shared<Session>(
        Session {logon.domain.toUtf8(), logon.user.toUtf8(), logon.password.toUtf8(), false});
    // The library's own timeout does not cover name lookups; a probe that overruns the limit is left to end
    // on its own thread, which owns all it touches.
    auto outcome = std::make_shared<std::promise<qint32>>();
    std::future<qint32> result = outcome->get_future();
    const int timeoutMs = int(limit.count());
    std::thread([share, session, port, timeoutMs, outcome] {
        outcome->set_value(probe(share, session, port, timeoutMs));
    }).detach();
    if (result.wait_for(limit) != std::future_status::ready)
        return ERROR_BAD_NETPATH;
    return result.get();
}

} // namespace SmbProbe
