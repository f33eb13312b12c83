// Dispatch driven by a type library's description of an interface: names
// resolve to the dispatch ids the description gives; Invoke converts each
// argument to the declared parameter type (strings to GBK text), calls the
// method's body and converts its result to the declared result type. An
// object writes only its method bodies.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/com/typelib.h"

namespace com {

// The arguments of one call, converted to the declared types, in order.
class CDispArgs {
public:
    std::size_t Count() const { return m_values.size(); }
    // A VT_BSTR parameter as GBK text.
    const std::string& String(std::size_t i) const { return m_values.at(i).text; }
    // A VT_I4 parameter.
    std::int32_t Long(std::size_t i) const { return m_values.at(i).number; }
    // A VT_BOOL parameter.
    bool Bool(std::size_t i) const { return m_values.at(i).number != 0; }

private:
    friend class CDispatchImpl;
    struct Value {
        std::string text;
        std::int32_t number = 0;
    };
    std::vector<Value> m_values;
};

// What a method body gives back; converted to the declared result type.
class CDispResult {
public:
    CDispResult() = default;  // no result
    static CDispResult String(std::string gbk);
    static CDispResult Long(std::int32_t value);
    // The system's truth values are integers: nonzero is true.
    static CDispResult Bool(int value);
    // The body failed unexpectedly (an exception it caught itself).
    static CDispResult Failure(HRESULT hr);

private:
    friend class CDispatchImpl;
    HRESULT m_hr = S_OK;
    VARTYPE m_vt = VT_EMPTY;
    std::string m_text;
    std::int32_t m_number = 0;
};

using DispatchBody = std::function<CDispResult(const CDispArgs& args)>;

// Wraps a body so that an exception it throws is caught where the body was
// compiled (inside its module) and comes back as a failure code.
template <class Body>
DispatchBody GuardedBody(Body body) {
    return [body = std::move(body)](const CDispArgs& args) -> CDispResult {
        try {
            return body(args);
        } catch (const std::bad_alloc&) {
            return CDispResult::Failure(E_OUTOFMEMORY);
        } catch (...) {
            return CDispResult::Failure(E_UNEXPECTED);
        }
    };
}

struct DispatchEntry {
    DISPID id;
    DispatchBody body;
};

class CDispatchImpl {
public:
    CDispatchImpl() = default;
    // info must outlive this object (a module's type library does).
    CDispatchImpl(const InterfaceInfo* info, std::vector<DispatchEntry> entries);

    const InterfaceInfo* Info() const { return m_pInfo; }

    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const;
    // Methods only: a property put, or a get without the method flag, is
    // DISP_E_MEMBERNOTFOUND. Named arguments are not supported. A body that
    // throws gives E_OUTOFMEMORY or E_UNEXPECTED, never the exception.
    HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                   UINT* argError) const;

private:
    const InterfaceInfo* m_pInfo = nullptr;
    std::vector<DispatchEntry> m_entries;
};

// Names are compared without regard to ASCII letter case.
bool NameEquals(const char16_t* name, const char* ascii);

}  // namespace com
