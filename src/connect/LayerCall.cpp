// Runs the networking layer's calls on a thread of their own.
#include "connect/LayerCall.h"

#include <QEventLoop>
#include <QSemaphore>

LayerCall::LayerCall()
    : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("LayerCall"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

LayerCall::~LayerCall()
{
    m_thread.quit();
    m_thread.wait();
}

void LayerCall::run(const std::function<void()>& work)
{
    QEventLoop loop;
    QSemaphore done;
    QMetaObject::invokeMethod(
        m_context,
        [&] {
            work();
            // Posted before the release: once released, the loop may be gone, and its posted events with it.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            done.release();
        },
        Qt::QueuedConnection);
    if (done.tryAcquire())
        return;
    loop.exec();
    // The loop also ends when the program is told to quit; the work is waited for all the same, since it uses the
    // caller's data and may be making a mount.
    done.acquire();
}
