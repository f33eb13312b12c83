// A service includes its own internal header.
#include "platform/fs/fs_internal.h"
