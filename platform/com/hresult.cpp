#include "platform/com/hresult.h"

#include <cstdio>

namespace com {

std::string HResultHex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::string HResultText(HRESULT hr) {
    switch (hr) {
        case S_OK:
            return "success";
        case S_FALSE:
            return "success (false)";
        case E_NOTIMPL:
            return "not implemented";
        case E_NOINTERFACE:
            return "no such interface";
        case E_POINTER:
            return "invalid pointer";
        case E_FAIL:
            return "unspecified failure";
        case E_UNEXPECTED:
            return "unexpected failure";
        case E_ACCESSDENIED:
            return "access denied";
        case E_OUTOFMEMORY:
            return "out of memory";
        case E_INVALIDARG:
            return "invalid argument";
        case CLASS_E_NOAGGREGATION:
            return "the class cannot be aggregated";
        case CLASS_E_CLASSNOTAVAILABLE:
            return "the module has no such class";
        case REGDB_E_READREGDB:
            return "the registry could not be read";
        case REGDB_E_WRITEREGDB:
            return "the registry could not be written";
        case REGDB_E_CLASSNOTREG:
            return "class not registered";
        case CO_E_CLASSSTRING:
            return "invalid class string (malformed class id or unknown ProgID)";
        case CO_E_DLLNOTFOUND:
            return "module not found";
        case CO_E_ERRORINDLL:
            return "the module cannot be loaded or lacks its entry points";
        case SELFREG_E_TYPELIB:
            return "the type library could not be registered or unregistered";
        case SELFREG_E_CLASS:
            return "a class could not be registered or unregistered";
        case DISP_E_UNKNOWNINTERFACE:
            return "unknown interface";
        case DISP_E_MEMBERNOTFOUND:
            return "member not found";
        case DISP_E_PARAMNOTFOUND:
            return "parameter not found";
        case DISP_E_TYPEMISMATCH:
            return "type mismatch";
        case DISP_E_UNKNOWNNAME:
            return "unknown name";
        case DISP_E_NONAMEDARGS:
            return "named arguments are not supported";
        case DISP_E_BADVARTYPE:
            return "bad variant type";
        case DISP_E_EXCEPTION:
            return "exception";
        case DISP_E_OVERFLOW:
            return "value out of range";
        case DISP_E_BADINDEX:
            return "bad index";
        case DISP_E_BADPARAMCOUNT:
            return "wrong number of arguments";
        case TYPE_E_REGISTRYACCESS:
            return "the type library's registry entries could not be accessed";
        case TYPE_E_LIBNOTREGISTERED:
            return "type library not registered";
        case TYPE_E_ELEMENTNOTFOUND:
            return "element not found in the type library";
        case TYPE_E_CANTLOADLIBRARY:
            return "the type library could not be loaded";
        default:
            return HResultHex(hr);
    }
}

}  // namespace com
