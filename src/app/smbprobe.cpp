// sharemount-smbprobe: checks log-ons and shares for the networking layer, in a process that the layer can end
// when a server does not answer. Requests come on stdin, result codes go to stdout.
#include "platform/SmbProbe.h"

#include "platform/ProcessSignals.h"

#include <unistd.h>

int main()
{
    ProcessSignals::setUp();
    return SmbProbe::serve(STDIN_FILENO);
}
