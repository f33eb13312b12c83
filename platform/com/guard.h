// No C++ exception leaves a component: every exported entry point and every
// interface method runs its body through Guarded, which turns an escaping
// exception into a result code.
#pragma once

#include <cstdio>
#include <exception>
#include <new>

#include "platform/com/hresult.h"

namespace com {

// Reports an error no one expected (stderr), so that the code a caller gets
// can be traced.
inline void ReportUnexpected(const char* where, const char* what) {
    std::fprintf(stderr, "telvora: unexpected error in %s: %s\n", where, what);
}

template <class Body>
HRESULT Guarded(const char* where, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        ReportUnexpected(where, e.what());
        return E_UNEXPECTED;
    } catch (...) {
        ReportUnexpected(where, "unknown exception");
        return E_UNEXPECTED;
    }
}

}  // namespace com
