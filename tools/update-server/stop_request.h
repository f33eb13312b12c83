// Waiting for the request to stop serving: SIGTERM or SIGINT.
#pragma once

// Installs the handlers; call before any thread is started.
void PrepareStopRequest();
// Blocks the calling thread until SIGTERM or SIGINT arrived since
// PrepareStopRequest; returns the signal's number.
int WaitForStopRequest();
