// Showing the system's text for the calling thread's last error.
#pragma once

// A message box with the text of GetLastError(), information icon, OK.
void ShowSystemError();
