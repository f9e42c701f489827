// A networking layer run from a table, for fast tests of the windows: no server, no mounts.
#pragma once

#include "net/Wnet.h"

#include <QList>
#include <QMap>

#include <functional>

class FakeWnet final : public Wnet
{
public:
    enum class Drive { Free, Local, Network, Busy };

    struct Letter
    {
        Drive drive = Drive::Free;
        QString remoteName; // for Network and Busy; empty: the layer cannot name it
    };

    struct Call
    {
        QString operation;
        QString localName;
        QString remoteName; // the add's
        QString password; // the add's
        QString userName; // the add's
        bool force = false; // the cancel's
    };

    // Letters not set are free.
    void setLetter(QChar letter, Letter state) { m_letters[letter] = std::move(state); }
    Letter letter(QChar letter) const { return m_letters.value(letter); }
    // Names take the real layer's shapes: "F:" for the add, the cancel and the name query, "F:\" also for the
    // drive type. Results for the next adds or cancels, in order; when none is queued an add connects a free letter and
    // a cancel disconnects a network drive (a busy one only when forced).
    void setNextAddResults(QList<qint32> results) { m_addResults = std::move(results); }
    void setNextCancelResults(QList<qint32> results) { m_cancelResults = std::move(results); }

    qint32 WNetAddConnection2A(const NETRESOURCE& resource, const QString& password, const QString& userName,
                               qint32) override
    {
        calls.append({QStringLiteral("add"), resource.lpLocalName, resource.lpRemoteName, password, userName, false});
        if (onAdd)
            onAdd();
        if (!m_addResults.isEmpty())
            return m_addResults.takeFirst();
        const std::optional<QChar> key = driveLetter(resource.lpLocalName, false);
        if (!key)
            return ERROR_BAD_DEVICE;
        if (m_letters.value(*key).drive != Drive::Free)
            return ERROR_ALREADY_ASSIGNED;
        m_letters[*key] = {Drive::Network, resource.lpRemoteName};
        return NO_ERROR;
    }

    qint32 WNetCancelConnection2A(const QString& name, qint32, bool force) override
    {
        calls.append({QStringLiteral("cancel"), name, {}, {}, {}, force});
        if (!m_cancelResults.isEmpty())
            return m_cancelResults.takeFirst();
        const std::optional<QChar> key = driveLetter(name, false);
        const Drive drive = key ? m_letters.value(*key).drive : Drive::Free;
        if (drive != Drive::Network && drive != Drive::Busy)
            return ERROR_NOT_CONNECTED;
        if (drive == Drive::Busy && !force)
            return ERROR_DEVICE_IN_USE;
        m_letters.remove(*key);
        return NO_ERROR;
    }

    qint32 WNetGetConnectionA(const QString& localName, QString& remoteName, quint32& length) override
    {
        calls.append({QStringLiteral("name"), localName, {}, {}, {}, false});
        const std::optional<QChar> key = driveLetter(localName, false);
        if (!key)
            return ERROR_BAD_DEVICE;
        const Letter state = m_letters.value(*key);
        if ((state.drive != Drive::Network && state.drive != Drive::Busy) || state.remoteName.isEmpty())
            return ERROR_NOT_CONNECTED;
        if (quint32(state.remoteName.size()) >= length) {
            length = quint32(state.remoteName.size()) + 1;
            return ERROR_MORE_DATA;
        }
        remoteName = state.remoteName;
        return NO_ERROR;
    }

    qint32 GetDriveTypeA(const QString& rootPathName) override
    {
        calls.append({QStringLiteral("type"), rootPathName, {}, {}, {}, false});
        const std::optional<QChar> key = driveLetter(rootPathName, true);
        switch (key ? m_letters.value(*key).drive : Drive::Free) {
        case Drive::Free:
            return DRIVE_NO_ROOT_DIR;
        case Drive::Local:
            return DRIVE_FIXED;
        case Drive::Network:
        case Drive::Busy:
            return DRIVE_REMOTE;
        }
        return DRIVE_NO_ROOT_DIR;
    }

    // Every call in order, for tests that check what the windows asked.
    QList<Call> calls;
    // Runs inside each add, on the thread that calls the layer: a test can hold the add there.
    std::function<void()> onAdd;

private:
    QMap<QChar, Letter> m_letters;
    QList<qint32> m_addResults;
    QList<qint32> m_cancelResults;
};
