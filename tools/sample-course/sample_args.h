// The command line of telvora-sample-course: DIR and the sample's options.
#pragma once

#include <string>
#include <vector>

#include "common/tool_options.h"
#include "tools/sample-course/sample_course.h"

struct CSampleArgs {
    std::string dir;  // UTF-8, as given
    SampleCourseOptions options;
};

// Reads args (without the program name) into *parsed; on kUsageError *error
// (UTF-8) says why. The options' values are CheckSampleOptions' to check.
EToolParse ParseSampleArgs(const std::vector<std::string>& args, CSampleArgs* parsed,
                           std::string* error);
