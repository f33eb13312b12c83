// install: copies the course CD in the drive into the installed course.
#include "install/install_app.h"

TELVORA_PROGRAM(CInstallApp, "install")
