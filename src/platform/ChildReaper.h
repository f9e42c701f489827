// Collects the programs that this one started and left running (a mount's rclone) as soon as each ends.
#pragma once

#include "platform/Subprocess.h"

#include <atomic>
#include <mutex>
#include <poll.h>
#include <thread>
#include <vector>

// A thread that sleeps in poll() on the children's pidfds: an ended child must not stay a zombie until the next
// connect or disconnect, and a SIGCHLD handler would be the whole process's, Qt's included.
class ChildReaper
{
public:
    ChildReaper() = default;
    // Children still running go on; they are only no longer watched.
    ~ChildReaper();
    Q_DISABLE_COPY_MOVE(ChildReaper)

    void watch(Subprocess::Running child);

private:
    void run();
    // Collects the children whose pidfds ready shows readable.
    void collectEnded(const std::vector<pollfd>& ready);

    std::mutex m_mutex;
    std::vector<Subprocess::Running> m_children;
    UniqueFd m_wake; // an eventfd that tells the thread of a new child, or of the end
    std::atomic<bool> m_ending {false};
    std::thread m_thread;
};
