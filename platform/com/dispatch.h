// Automation dispatch: members found by name (GetIDsOfNames) and called by
// number (Invoke) with variant arguments.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"
#include "platform/com/variant.h"

using DISPID = std::int32_t;
using LCID = std::uint32_t;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_ABOUTBOX = -552;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_NEUTRAL = 0;

enum : WORD {
    DISPATCH_METHOD = 0x1,
    DISPATCH_PROPERTYGET = 0x2,
    DISPATCH_PROPERTYPUT = 0x4,
    DISPATCH_PROPERTYPUTREF = 0x8,
};

// Arguments in reverse order: rgvarg[cArgs - 1] is the first one.
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

inline constexpr IID IID_IDispatch = com::MakeGuid("{00020400-0000-0000-C000-000000000046}");

struct ITypeInfo;

struct IDispatch : IUnknown {
    // 1 when GetTypeInfo can describe the interface, else 0.
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    // names[0] is a member, the others its parameters. Names are compared
    // without regard to ASCII letter case. DISP_E_UNKNOWNNAME when one is not
    // known (its id is then DISPID_UNKNOWN).
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                  DISPID* ids) = 0;
    // The result goes into *result (which may be null); on a bad argument
    // *argError names its index in params->rgvarg.
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, UINT* argError) = 0;

protected:
    ~IDispatch() = default;
};
