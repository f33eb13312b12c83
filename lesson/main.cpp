// lesson: opens an installed course in the course's browser and lets the
// update control look for an update of the course.
#include "lesson/lesson_app.h"

TELVORA_PROGRAM(CLessonApp, "lesson",
                "usage: COURSE/bin/lesson\n"
                "\n"
                "Starts an installed course: opens its start page in the course's browser\n"
                "(or starts the course's own program), then lets the update control look for\n"
                "an update of the course on the update server. It takes no arguments: it\n"
                "reads the course's setup.ini (one folder up from the link it is started\n"
                "through) and its registry record.\n")
