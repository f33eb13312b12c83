// Calling a dispatch interface from a host: members by name or id, with
// arguments given as variants in their natural order.
#pragma once

#include <string>
#include <vector>

#include "platform/com/typelib.h"

namespace com {

class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    explicit COleDispatchDriver(IDispatch* dispatch) : m_dispatch(dispatch) {}

    IDispatch* get() const { return m_dispatch.get(); }

    // GetIDsOfNames for one member (name in UTF-16).
    HRESULT GetId(const std::u16string& name, DISPID* id) const;
    // Calls a method; args first to last. argError (optional) gets the index
    // of a refused argument in that order.
    HRESULT CallMethod(DISPID id, const std::vector<CComVariant>& args, CComVariant* result,
                       UINT* argError = nullptr) const;
    // The description of a member from the object's type information;
    // null when the object gives none (info then keeps the library alive).
    const MethodInfo* DescribeMethod(DISPID id, CComPtr<ITypeInfo>* info) const;
    // The description of the whole interface (its methods in their order);
    // null when the object gives none.
    const InterfaceInfo* DescribeInterface(CComPtr<ITypeInfo>* info) const;

private:
    CComPtr<IDispatch> m_dispatch;
};

}  // namespace com
