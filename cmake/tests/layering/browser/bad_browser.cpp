// The browser is a plain Qt program: no platform service.
#include <QWidget>

#include "platform/fs/fs.h"
