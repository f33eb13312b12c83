// The Qt side of the program entry: Qt keeps all widgets on one GUI thread,
// the process's main thread, so the program's own main runs on a second
// thread while this one runs the Qt event loop.
#pragma once

#include <functional>
#include <string>

namespace ui::qt {

// Creates the Qt application on the calling (main) thread, registers the Qt
// renderer as the primary renderer when showWindows is set, and a snapshot
// observer writing numbered PNGs into snapshotDir when it is not empty (with
// showWindows false Qt runs offscreen for the snapshots alone). Runs
// programMain on a second thread and returns its result once it has ended
// and the GUI has finished the work handed to it; an exception programMain
// lets out is passed on from here. With showWindows set and no display to
// show them on, it says so on stderr and returns 1 without running
// programMain.
int RunWithQt(int argc, char** argv, bool showWindows, const std::string& snapshotDir,
              const std::function<int()>& programMain);

}  // namespace ui::qt
