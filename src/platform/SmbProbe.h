// Asks the SMB server, through Samba's client library, whether this user may open the share.
#pragma once

#include "platform/SmbShare.h"
#include "platform/Subprocess.h"

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>
#include <optional>

struct SmbLogon
{
    QString domain; // empty: the client's default workgroup
    QString user;
    QString password;
};

namespace SmbProbe {

// NO_ERROR when the server on port accepts the log-on and opens the share and its folder for this user, else
// the networking layer's code for what went wrong. Never falls back to an anonymous log-on. What the helper
// program runs; the library's own timeout does not cover name lookups.
qint32 checkHere(const SmbShare& share, const SmbLogon& logon, quint16 port, std::chrono::milliseconds limit);

// A request to the helper, sent through its channel: nothing shows on its command line.
struct Request
{
    SmbShare share;
    SmbLogon logon;
    quint16 port = 0;
    std::chrono::milliseconds limit {0};

    QByteArray toBytes() const;
    static std::optional<Request> fromBytes(const QByteArray& bytes);
};

// Answers requests from channel (the helper's stdin and stdout) until it closes.
int serve(int channel);

} // namespace SmbProbe

// checkHere in a helper process, which loads Samba's client library once and is ended when a server does not
// answer in time; the next check starts a new one. The library's logging is the whole process's, and a
// probe stuck in a name lookup must not hold up the next one.
class SmbChecker
{
public:
    explicit SmbChecker(QString program);
    ~SmbChecker();
    Q_DISABLE_COPY_MOVE(SmbChecker)

    // As checkHere; ERROR_BAD_NETPATH when the server has not answered within limit, ERROR_BAD_PROVIDER when
    // the helper cannot run. A helper that has gone since the last check is started anew.
    qint32 check(const SmbShare& share, const SmbLogon& logon, quint16 port, std::chrono::milliseconds limit);

private:
    bool start();
    void stop();

    QString m_program;
    std::unique_ptr<Subprocess> m_helper;
    int m_channel = -1;
};
