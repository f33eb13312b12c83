// lesson: opens an installed course in the course's browser and lets the
// update control look for an update of the course.
#include "lesson/lesson_app.h"

TELVORA_PROGRAM(CLessonApp, "lesson")
