// Asks the SMB server, through Samba's client library, whether this user may open the share.
#pragma once

#include "platform/SmbShare.h"

#include <QString>
#include <QtGlobal>

#include <chrono>

struct SmbLogon
{
    QString domain; // empty: the client's default workgroup
    QString user;
    QString password;
};

namespace SmbProbe {

// NO_ERROR when the server on port accepts the log-on and opens the share and its folder for this user, else
// the networking layer's code for what went wrong. Never falls back to an anonymous log-on. A server that does
// not answer within limit gives ERROR_BAD_NETPATH.
qint32 check(const SmbShare& share, const SmbLogon& logon, quint16 port, std::chrono::milliseconds limit);

} // namespace SmbProbe
