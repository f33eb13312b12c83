// install: copies the course CD in the drive into the installed course.
#include "install/install_app.h"

TELVORA_PROGRAM(CInstallApp, "install",
                "usage: COURSE/bin/install\n"
                "\n"
                "The course's installer: copies the course CD in the drive into the installed\n"
                "course folder, one run per CD, with a progress window; on the last CD it\n"
                "patches the course's pages. It takes no arguments: it reads the course's\n"
                "setup.ini (one folder up from the link it is started through) and its\n"
                "registry record. telvora-setup runs it for each CD (telvora-setup --help).\n")
