// One running ShareMount per user and record folder: a second start hands its request to the first and ends.
#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// The running program listens on a local socket named after its record folder, in the user's runtime folder, and
// holds a lock file beside the records for as long as it runs (beside the socket while the folder is not made yet).
// Two starts that miss each other's socket (one of them without XDG_RUNTIME_DIR, say) still meet at the lock when
// the folder existed for both, so the record file never gets a second writer.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Request { Show, AutoConnect };
    enum class Outcome {
        Primary, // this start runs; the requests of later ones arrive as signals
        Delivered, // another start runs and has taken the request: this one ends
        Failed, // neither; errorString() says why
    };
    Q_ENUM(Request)
    Q_ENUM(Outcome)

    explicit SingleInstance(const QString& dataFolder,
                            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                            QObject* parent = nullptr);
    // Closes the socket before the lock goes, so that the next holder of the lock never finds this one's socket.
    ~SingleInstance() override;
    Q_DISABLE_COPY_MOVE(SingleInstance)

    // Called once, before the event loop runs; blocks for a few seconds at most, or while a run without a window
    // that refuses a request for one finishes (a minute at most).
    Outcome claim(Request request);
    // A run without a display has no window to bring forward: a start that asks for one waits until it has ended.
    void refuseShow() { m_refusesShow = true; }
    QString errorString() const { return m_error; }
    QString serverPath() const { return m_serverPath; }

signals:
    void showRequested();
    void autoConnectRequested();

private:
    enum class Answer { Taken, Refused, Unanswered, NobodyListens };
    enum class Lock { Taken, Held, Failed };

    Answer ask(Request request);
    Lock takeLock();
    QString holder() const;
    bool listen();
    void accept();
    void read(QLocalSocket* client);

    QString m_folder; // canonical as far as it exists
    QString m_runtimeFolder;
    bool m_ownRuntimeFolder = false; // the fallback under the temporary folder, which this class makes and checks
    QString m_serverPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    int m_clients = 0;
    bool m_refusesShow = false;
    QString m_error;
};
