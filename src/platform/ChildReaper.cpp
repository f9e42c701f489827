// Collects the programs that this one started and left running (a mount's rclone) as soon as each ends.
#include "platform/ChildReaper.h"

#include <algorithm>
#include <sys/eventfd.h>
#include <sys/wait.h>

ChildReaper::~ChildReaper()
{
    if (m_thread.joinable()) {
        m_ending = true;
        eventfd_write(m_wake.get(), 1);
        m_thread.join();
    }
    // The last ones to end are collected too.
    std::vector<pollfd> ended;
    for (const Subprocess::Running& child : std::as_const(m_children))
        ended.push_back({child.pidFd.get(), POLLIN, 0});
    if (poll(ended.data(), nfds_t(ended.size()), 0) > 0)
        collectEnded(ended);
}

void ChildReaper::watch(Subprocess::Running child)
{
    const std::lock_guard lock(m_mutex);
    m_children.push_back(std::move(child));
    if (!m_thread.joinable()) {
        // Without its wake-up the thread could not be stopped: the children are then collected at the end.
        m_wake.reset(eventfd(0, EFD_CLOEXEC));
        if (m_wake.isValid())
            m_thread = std::thread(&ChildReaper::run, this);
    }
    if (m_wake.isValid())
        eventfd_write(m_wake.get(), 1);
}

void ChildReaper::run()
{
    while (!m_ending) {
        std::vector<pollfd> watched {{m_wake.get(), POLLIN, 0}};
        {
            const std::lock_guard lock(m_mutex);
            for (const Subprocess::Running& child : std::as_const(m_children))
                watched.push_back({child.pidFd.get(), POLLIN, 0});
        }
        if (poll(watched.data(), nfds_t(watched.size()), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        eventfd_t count;
        if (watched[0].revents & POLLIN)
            eventfd_read(m_wake.get(), &count);
        const std::lock_guard lock(m_mutex);
        collectEnded(watched);
    }
}

void ChildReaper::collectEnded(const std::vector<pollfd>& ready)
{
    std::erase_if(m_children, [&ready](const Subprocess::Running& child) {
        const bool ended = std::any_of(ready.cbegin(), ready.cend(), [&child](const pollfd& entry) {
            return entry.fd == child.pidFd.get() && (entry.revents & POLLIN);
        });
        // ECHILD where SIGCHLD is ignored: the kernel has collected it already.
        if (ended)
            waitpid(child.pid, nullptr, WNOHANG);
        return ended;
    });
}
