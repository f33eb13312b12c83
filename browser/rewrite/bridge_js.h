// bridge.js as it was embedded at build time (the bridge alone, without the
// runtime that BridgeScript puts before it).
#pragma once

#include <string>

const std::string& BridgeJs();
