#include "net/GetError.h"

#include "net/Wnet.h"

#include <array>
#include <utility>

QString GetErrorText(const qint32& code)
{
    // Some texts end in "!" and some do not; they stand as users have always seen them.
    static constexpr std::array<std::pair<qint32, const char*>, 20> texts {{
        {ERROR_ACCESS_DENIED, "Access Denied!"},
        {ERROR_BAD_NETPATH, "Bad Net Path!"},
        {ERROR_BAD_DEV_TYPE, "Bad Device Type!"},
        {ERROR_BAD_NET_NAME, "Bad Net Name!"},
        {ERROR_ALREADY_ASSIGNED, "Local Drive Already Assigned!"},
        {ERROR_INVALID_PASSWORD, "Invalid Password!"},
        {ERROR_BUSY, "Busy!"},
        {ERROR_INVALID_ADDRESS, "Invalid NetResource!"},
        {ERROR_BAD_DEVICE, "Bad Device"},
        {ERROR_DEVICE_ALREADY_REMEMBERED, "Device Already Remembered!"},
        {ERROR_NO_NET_OR_BAD_PATH, "No Net Or Bad Path!"},
        {ERROR_BAD_PROVIDER, "Bad Provider"},
        {ERROR_CANNOT_OPEN_PROFILE, "Cannot Open Profile"},
        {ERROR_BAD_PROFILE, "Bad Profile"},
        {ERROR_EXTENDED_ERROR, "Extended Error!"},
        {ERROR_SESSION_CREDENTIAL_CONFLICT, "Session Credential Conflict"},
        {ERROR_CANCELLED, "Cancelled!"},
        {ERROR_LOGON_FAILURE, "Logon Falure"},
        {ERROR_ACCOUNT_DISABLED, "Account Disabled"},
        {ERROR_NOT_CONNECTED, "Device Is Not Connected!"},
    }};
    for (const auto& [value, text] : texts) {
        if (value == code)
            return QString::fromLatin1(text);
    }
    return QString::number(code);
}
