// Times the real drvmap from its start until its main window is mapped on a private X server, and reads its resident
// memory once the window is shown and has settled. Prints rows for the bench target's table.
#include "BenchSupport.h"
#include "platform/ProcessSignals.h"
#include "records/RecordFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <poll.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Runs = 9;
constexpr double StartTarget = 300; // ms
constexpr double MemoryTarget = 60; // MB of 10^6 bytes

// The X server of the benchmark's own, started before the first run so that its start counts in none.
class XServer
{
public:
    XServer()
    {
        // Xvfb picks a free display and writes its number once it accepts clients.
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                      QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("1280x1024x24")});
        m_xvfb.setReadChannel(QProcess::StandardOutput);
        if (m_xvfb.waitForReadyRead(10000))
            m_display = u':' + QString::fromLatin1(m_xvfb.readLine().trimmed());
    }
    ~XServer()
    {
        m_xvfb.terminate();
        m_xvfb.waitForFinished();
    }
    Q_DISABLE_COPY_MOVE(XServer)
    QString display() const { return m_display; }

private:
    QProcess m_xvfb;
    QString m_display;
};

// Watches the root window for top-level windows being mapped, as a window manager does.
class MapWatch
{
public:
    explicit MapWatch(const QString& display)
        : m_x(xcb_connect(display.toLatin1().constData(), nullptr), xcb_disconnect)
    {
        if (xcb_connection_has_error(m_x.get()))
            return;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_x.get())).data->root;
        const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_x.get(), root, XCB_CW_EVENT_MASK, &events);
        constexpr char Name[] = "_NET_WM_PID";
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
            xcb_intern_atom_reply(m_x.get(), xcb_intern_atom(m_x.get(), 0, sizeof Name - 1, Name), nullptr), free);
        m_pidAtom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    bool isValid() const { return m_pidAtom != XCB_ATOM_NONE; }

    // When the first window of process pid that a window manager would manage was mapped; nothing if none was
    // by deadline.
    std::optional<Clock::time_point> waitForWindow(qint64 pid, Clock::time_point deadline)
    {
        pollfd connection {xcb_get_file_descriptor(m_x.get()), POLLIN, 0};
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_x.get())) {
                const Clock::time_point seen = Clock::now();
                std::unique_ptr<xcb_generic_event_t, decltype(&free)> owned(event, free);
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                // Menus and tooltips bypass the window manager; the main window does not.
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && !map->override_redirect
                    && windowPid(map->window) == pid)
                    return seen;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            poll(&connection, 1, int(std::max<qint64>(left.count(), 0)));
        }
        return std::nullopt;
    }

private:
    qint64 windowPid(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(m_x.get(),
                                   xcb_get_property(m_x.get(), 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
            free);
        if (!reply || xcb_get_property_value_length(reply.get()) != 4)
            return -1;
        return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_x;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
};

// VmRSS of a process, in kB; -1 once it has gone.
qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The resident memory once it has stopped changing: the window has painted and the start's work is done.
qint64 settledResidentKb(qint64 pid)
{
    constexpr int Steady = 5; // samples 100 ms apart
    QList<qint64> samples;
    for (int sample = 0; sample < 50; ++sample) {
        samples.append(residentKb(pid));
        if (samples.size() >= Steady) {
            const QList<qint64> last = samples.mid(samples.size() - Steady);
            if (*std::max_element(last.begin(), last.end()) - *std::min_element(last.begin(), last.end()) < 256)
                break;
        }
        QThread::msleep(100);
    }
    return samples.last();
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSignals::setUp();
    QCoreApplication app(argc, argv);
    const XServer x;
    MapWatch watch(x.display());
    if (x.display().isEmpty() || !watch.isValid()) {
        std::fprintf(stderr, "bench_startup: no private X server\n");
        return 1;
    }
    const Bench::DbusSession session;

    // A user of its own with a few records, as after some use; nothing of the caller's settings.
    QTemporaryDir home;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                             "SHAREMOUNT_DATA_DIR", "SHAREMOUNT_DRIVES"}) {
        const QString folder = home.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QString::fromLatin1(name), folder);
    }
    QFile records(environment.value(QStringLiteral("SHAREMOUNT_DATA_DIR")) + u'/'
                  + QString::fromLatin1(RecordFile::FileName));
    if (!records.open(QIODevice::WriteOnly) || records.write(Bench::savedSlots(5)) < 0)
        return 1;
    records.close();

    QList<qint64> starts;
    QList<double> resident;
    // The first start fills the fresh user's caches, as the user's own first start did once.
    for (int run = -1; run < Runs; ++run) {
        QProcess drvmap;
        drvmap.setProcessEnvironment(environment);
        drvmap.setStandardOutputFile(QProcess::nullDevice());
        drvmap.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const Clock::time_point started = Clock::now();
        drvmap.start(QStringLiteral(DRVMAP_PATH), {});
        const std::optional<Clock::time_point> shown = drvmap.waitForStarted()
            ? watch.waitForWindow(drvmap.processId(), started + std::chrono::seconds(20))
            : std::nullopt;
        const qint64 kb = shown ? settledResidentKb(drvmap.processId()) : -1;
        drvmap.terminate();
        drvmap.waitForFinished();
        if (!shown || kb < 0) {
            std::fprintf(stderr, "bench_startup: drvmap showed no window\n");
            return 1;
        }
        if (run < 0)
            continue;
        starts.append(std::chrono::duration_cast<std::chrono::nanoseconds>(*shown - started).count());
        resident.append(double(kb) * 1024 / 1e6);
    }
    const double start = Bench::medianMs(starts);
    const double memory = Bench::median(resident);
    Bench::row(QStringLiteral("Start-up to the main window shown (median of %1)").arg(Runs), start, 0,
               QStringLiteral("ms"), Bench::target(QStringLiteral("< 300"), start < StartTarget),
               QStringLiteral("on Xvfb, 5 records"));
    Bench::row(QStringLiteral("Resident memory after start-up"), memory, 1, QStringLiteral("MB"),
               Bench::target(QStringLiteral("< 60"), memory < MemoryTarget), QStringLiteral("VmRSS, window settled"));
    return 0;
}
