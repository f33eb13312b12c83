// The text work of the CD media lookup, apart from files and dialogs: the
// insert-CD prompt and the media file's path on the CD.
#pragma once

#include <string>

#include "common/course_format.h"

// "请将《NAME》课件的[第N张]光盘放入光驱中": the disc number only for a course
// of more than one disc; disc 2 when the chapter lies beyond cd1. Numbers
// are read as the C library's atoi reads them, held to the range of int.
std::string BuildInsertCdPrompt(const MediaLookupValues& values, const std::string& chapter);

// The drive's two first characters and "/", then the page's media path from
// its first "content" on (all of it when there is none). The search is
// GBK-aware: "content" never starts inside a double-byte character.
std::string MediaPathOnDrive(const std::string& driveRoot, const std::string& asfPath);

// Every "/" as "\".
std::string WithBackslashes(std::string path);
