// Between the thread services and the thread class: a handle made before its
// thread starts, so that the object knows its handle when Run begins.
#pragma once

#include <functional>

#include "platform/thread/thread.h"

namespace thread_detail {

HTHREAD NewThreadState();
// Runs fn on a new thread that reports through state; false (with last error)
// when no thread can be made.
bool LaunchThread(const HTHREAD& state, std::function<DWORD()> fn);

}  // namespace thread_detail
