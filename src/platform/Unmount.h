// Taking a mount down: FUSE mounts through fusermount3, so that users can drop their own, others directly.
#pragma once

#include "platform/MountTable.h"

#include <QProcessEnvironment>

#include <chrono>

namespace Unmount {

// NO_ERROR once the mount is gone; ERROR_DEVICE_IN_USE when files are open on it and force is off (force
// detaches it at once and lets it go when the last file closes); ERROR_ACCESS_DENIED when this user may not.
qint32 unmount(const Mount& mount, bool force, const QProcessEnvironment& environment, std::chrono::milliseconds limit);

} // namespace Unmount
