// The entry of the loadable Qt module: programs find it with dlsym, so its
// name has C linkage. Nothing thrown crosses it: the program's main is
// guarded by its caller.
#include <functional>

#include "platform/ui/qt/qt_main.h"

extern "C" __attribute__((visibility("default"))) int TelvoraRunWithQt(
    int argc, char** argv, int showWindows, const char* snapshotDir,
    const std::function<int()>* programMain) {
    try {
        return ui::qt::RunWithQt(argc, argv, showWindows != 0, snapshotDir ? snapshotDir : "",
                                 *programMain);
    } catch (...) {
        return 1;
    }
}
