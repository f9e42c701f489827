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

    // An add or a cancel.
    struct Call
    {
        QString operation; // "add" or "cancel"
        QString localName;
        QString remoteName, password, userName; // the add's
        bool force = false; // the cancel's
    };

    // Letters not set are free. Names take the real layer's shapes: "F:", and "F:\" for the drive type.
    void setLetter(QChar letter, Letter state) { m_letters[letter] = std::move(state); }
    Letter letter(QChar letter) const { return m_letters.value(letter); }
    // Results for the next adds, in order; when none is queued an add connects a free letter.
    void setNextAddResults(QList<qint32> results) { m_addResults = std::move(results); }

    qint32 WNetAddConnection2A(const NETRESOURCE& resource, const QString& password, const QString& userName,
                               qint32) override
    {
        calls.append({QStringLiteral("add"), resource.lpLocalName, resource.lpRemoteName, password, userName});
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

    // A busy drive goes only when forced.
    qint32 WNetCancelConnection2A(const QString& name, qint32, bool force) override
    {
        calls.append({QStringLiteral("cancel"), name, {}, {}, {}, force});
        const Drive drive = state(name, false).drive;
        if (drive != Drive::Network && drive != Drive::Busy)
            return ERROR_NOT_CONNECTED;
        if (drive == Drive::Busy && !force)
            return ERROR_DEVICE_IN_USE;
        m_letters.remove(*driveLetter(name, false));
        return NO_ERROR;
    }

    qint32 WNetGetConnectionA(const QString& localName, QString& remoteName, quint32&) override
    {
        const Letter named = state(localName, false);
        if ((named.drive != Drive::Network && named.drive != Drive::Busy) || named.remoteName.isEmpty())
            return ERROR_NOT_CONNECTED;
        remoteName = named.remoteName;
        return NO_ERROR;
    }

    qint32 GetDriveTypeA(const QString& rootPathName) override
    {
        const Drive drive = state(rootPathName, true).drive;
        return drive == Drive::Free ? DRIVE_NO_ROOT_DIR : drive == Drive::Local ? DRIVE_FIXED : DRIVE_REMOTE;
    }

    // The adds and cancels in order, for tests that check what the windows asked.
    QList<Call> calls;
    // Runs inside each add, on the thread that calls the layer: a test can hold the add there.
    std::function<void()> onAdd;

private:
    // A name that is no drive is free.
    Letter state(const QString& name, bool withRoot) const
    {
        const std::optional<QChar> key = driveLetter(name, withRoot);
        return key ? m_letters.value(*key) : Letter();
    }

    QMap<QChar, Letter> m_letters;
    QList<qint32> m_addResults;
};
