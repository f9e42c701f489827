// Signal dispositions that the program's own file and process handling relies on, whatever its parent left.
#include "platform/ProcessSignals.h"

#include <csignal>

namespace ProcessSignals {

void setUp()
{
    std::signal(SIGCHLD, SIG_DFL);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace ProcessSignals
