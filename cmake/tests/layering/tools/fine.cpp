// Standard headers and public platform headers are fine.
#include <csignal>
#include <string>

#include "platform/fs/fs.h"
