// Two violations: a POSIX header above the platform, and another service's
// internal header.
#include <unistd.h>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"
