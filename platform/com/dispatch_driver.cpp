#include "platform/com/dispatch_driver.h"

namespace com {

HRESULT COleDispatchDriver::GetId(const std::u16string& name, DISPID* id) const {
    if (!m_dispatch) {
        return E_POINTER;
    }
    std::u16string copy = name;
    LPOLESTR names[] = {copy.data()};
    return m_dispatch->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

HRESULT COleDispatchDriver::CallMethod(DISPID id, const std::vector<CComVariant>& args,
                                       CComVariant* result, UINT* argError) const {
    if (!m_dispatch) {
        return E_POINTER;
    }
    // Dispatch takes the arguments last first.
    std::vector<CComVariant> reversed(args.rbegin(), args.rend());
    std::vector<VARIANT> raw(reversed.begin(), reversed.end());
    DISPPARAMS params;
    params.rgvarg = raw.empty() ? nullptr : raw.data();
    params.cArgs = static_cast<UINT>(raw.size());
    VARIANT out;
    VariantInit(&out);
    UINT position = 0;
    HRESULT hr = m_dispatch->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    &out, &position);
    if (FAILED(hr) && argError && position < raw.size()) {
        *argError = static_cast<UINT>(raw.size() - 1 - position);
    }
    if (result) {
        result->Attach(&out);
    } else {
        VariantClear(&out);
    }
    return hr;
}

const InterfaceInfo* COleDispatchDriver::DescribeInterface(CComPtr<ITypeInfo>* info) const {
    if (!m_dispatch || !info) {
        return nullptr;
    }
    UINT count = 0;
    if (FAILED(m_dispatch->GetTypeInfoCount(&count)) || count == 0 ||
        FAILED(m_dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info->Put())) || !*info) {
        return nullptr;
    }
    const InterfaceInfo* described = nullptr;
    if (FAILED((*info)->GetInterfaceInfo(&described))) {
        return nullptr;
    }
    return described;
}

const MethodInfo* COleDispatchDriver::DescribeMethod(DISPID id, CComPtr<ITypeInfo>* info) const {
    const InterfaceInfo* described = DescribeInterface(info);
    return described ? described->FindMethod(id) : nullptr;
}

}  // namespace com
