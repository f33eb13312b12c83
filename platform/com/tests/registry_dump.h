// The whole registry as text, for tests that compare it before and after.
#pragma once

#include <string>

// Every key and value under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, one
// line each, in a stable order: two dumps are equal when the registries are.
std::string DumpRegistry();
