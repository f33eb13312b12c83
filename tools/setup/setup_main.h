// telvora-setup's work: from the first CD to an installed course.
#pragma once

#include <string>
#include <vector>

// Runs telvora-setup with its arguments (program name excluded). Returns 0
// when the course is installed (or prepared with --prepare-only), 1 when the
// user gave the installation up, 2 when it failed or the command line is bad.
int SetupMain(const std::vector<std::string>& args);
