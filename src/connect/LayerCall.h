// Runs the networking layer's calls on a thread of their own, so that the window goes on painting and its timer
// goes on ticking while a server takes its time.
#pragma once

#include <QObject>
#include <QThread>

#include <functional>

class LayerCall
{
public:
    LayerCall();
    ~LayerCall();
    Q_DISABLE_COPY_MOVE(LayerCall)

    // Runs work on the layer's thread and returns when it is done; meanwhile the calling thread's events are
    // handled. Calls are run one at a time, in the order made.
    void run(const std::function<void()>& work);

    template <typename Work>
    auto operator()(Work&& work) -> decltype(work())
    {
        decltype(work()) result {};
        run([&] { result = work(); });
        return result;
    }

private:
    QThread m_thread;
    QObject* m_context; // lives on m_thread: the calls are queued to it
};
