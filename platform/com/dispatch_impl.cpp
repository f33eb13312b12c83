#include "platform/com/dispatch_impl.h"

#include "platform/com/guard.h"

namespace com {
namespace {

char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Owns a converted argument while the body runs.
struct CScopedVariant {
    VARIANT v;
    CScopedVariant() { VariantInit(&v); }
    ~CScopedVariant() { VariantClear(&v); }
};

}  // namespace

bool NameEquals(const char16_t* name, const char* ascii) {
    if (!name || !ascii) {
        return false;
    }
    std::size_t i = 0;
    for (; name[i] != 0 && ascii[i] != 0; ++i) {
        if (LowerAscii(name[i]) != LowerAscii(static_cast<unsigned char>(ascii[i]))) {
            return false;
        }
    }
    return name[i] == 0 && ascii[i] == 0;
}

CDispResult CDispResult::String(std::string gbk) {
    CDispResult r;
    r.m_vt = VT_BSTR;
    r.m_text = std::move(gbk);
    return r;
}

CDispResult CDispResult::Long(std::int32_t value) {
    CDispResult r;
    r.m_vt = VT_I4;
    r.m_number = value;
    return r;
}

CDispResult CDispResult::Bool(int value) {
    CDispResult r;
    r.m_vt = VT_BOOL;
    r.m_number = value != 0 ? 1 : 0;
    return r;
}

CDispResult CDispResult::Failure(HRESULT hr) {
    CDispResult r;
    r.m_hr = FAILED(hr) ? hr : E_UNEXPECTED;
    return r;
}

CDispatchImpl::CDispatchImpl(const InterfaceInfo* info, std::vector<DispatchEntry> entries)
    : m_pInfo(info), m_entries(std::move(entries)) {}

HRESULT CDispatchImpl::GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const {
    if (!names || !ids) {
        return E_POINTER;
    }
    if (count == 0) {
        return S_OK;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    const MethodInfo* method = nullptr;
    if (m_pInfo) {
        for (const MethodInfo& candidate : m_pInfo->methods) {
            if (NameEquals(names[0], candidate.name)) {
                method = &candidate;
                break;
            }
        }
    }
    if (!method) {
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = method->id;
    HRESULT hr = S_OK;
    // The other names are the method's parameters: their ids are positions.
    for (UINT i = 1; i < count; ++i) {
        for (std::size_t p = 0; p < method->params.size(); ++p) {
            if (NameEquals(names[i], method->params[p].name)) {
                ids[i] = static_cast<DISPID>(p);
                break;
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT CDispatchImpl::Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                              UINT* argError) const {
    const MethodInfo* method = m_pInfo ? m_pInfo->FindMethod(id) : nullptr;
    const DispatchEntry* entry = nullptr;
    for (const DispatchEntry& candidate : m_entries) {
        if (candidate.id == id) {
            entry = &candidate;
            break;
        }
    }
    if (!method || !entry || !entry->body) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if ((flags & DISPATCH_METHOD) == 0) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const UINT argCount = params ? params->cArgs : 0;
    if (params && params->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (argCount != method->params.size()) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (argCount != 0 && !params->rgvarg) {
        return E_INVALIDARG;
    }
    return Guarded(method->name, [&]() -> HRESULT {
        CDispArgs args;
        args.m_values.resize(argCount);
        for (UINT i = 0; i < argCount; ++i) {
            const UINT position = argCount - 1 - i;  // arguments come last first
            const VARTYPE wanted = method->params[i].vt;
            CScopedVariant converted;
            HRESULT hr = VariantChangeType(&converted.v, &params->rgvarg[position], 0, wanted);
            if (FAILED(hr)) {
                if (argError) {
                    *argError = position;
                }
                return hr;
            }
            if (wanted == VT_BSTR) {
                if (!GbkFromBstr(converted.v.bstrVal, &args.m_values[i].text)) {
                    if (argError) {
                        *argError = position;
                    }
                    return DISP_E_TYPEMISMATCH;
                }
            } else if (wanted == VT_I4) {
                args.m_values[i].number = converted.v.lVal;
            } else if (wanted == VT_BOOL) {
                args.m_values[i].number = converted.v.boolVal != 0 ? 1 : 0;
            }
        }
        CDispResult value = entry->body(args);
        if (FAILED(value.m_hr)) {
            return value.m_hr;
        }
        if (!result || method->result == VT_VOID || method->result == VT_EMPTY) {
            if (result) {
                VariantInit(result);
            }
            return S_OK;
        }
        CComVariant produced;
        switch (value.m_vt) {
            case VT_BSTR:
                produced.vt = VT_BSTR;
                produced.bstrVal = BstrFromGbk(value.m_text);
                if (!produced.bstrVal) {
                    produced.vt = VT_EMPTY;
                    return E_OUTOFMEMORY;
                }
                break;
            case VT_I4:
                produced.vt = VT_I4;
                produced.lVal = value.m_number;
                break;
            case VT_BOOL:
                produced.vt = VT_BOOL;
                produced.boolVal = value.m_number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            default:
                break;
        }
        VariantInit(result);
        return VariantChangeType(result, &produced, 0, method->result);
    });
}

}  // namespace com
