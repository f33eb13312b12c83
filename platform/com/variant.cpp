#include "platform/com/variant.h"

#include <climits>
#include <utility>

#include "platform/text/number.h"

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trimmed(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

HRESULT ParseI4(std::u16string_view s, std::int32_t* out) {
    s = Trimmed(s);
    bool negative = false;
    if (!s.empty() && (s.front() == u'+' || s.front() == u'-')) {
        negative = s.front() == u'-';
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return DISP_E_TYPEMISMATCH;
    }
    std::string digits(negative ? "-" : "");
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') {
            return DISP_E_TYPEMISMATCH;
        }
        digits += static_cast<char>(c);
    }
    const std::optional<std::int64_t> value = text::ParseDecimal(digits, INT32_MIN, INT32_MAX);
    if (!value) {
        return DISP_E_OVERFLOW;
    }
    *out = static_cast<std::int32_t>(*value);
    return S_OK;
}

bool EqualsAsciiNoCase(std::u16string_view s, std::u16string_view lower) {
    if (s.size() != lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != lower[i]) {
            return false;
        }
    }
    return true;
}

std::u16string DecimalText(std::int32_t value) {
    std::string narrow = std::to_string(value);
    return std::u16string(narrow.begin(), narrow.end());
}

bool KnownType(VARTYPE vt) {
    return vt == VT_EMPTY || vt == VT_NULL || vt == VT_I4 || vt == VT_BSTR || vt == VT_BOOL;
}

}  // namespace

void VariantInit(VARIANT* v) {
    if (v) {
        v->vt = VT_EMPTY;
        v->bstrVal = nullptr;
    }
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) {
        return E_INVALIDARG;
    }
    if (!KnownType(v->vt)) {
        return DISP_E_BADVARTYPE;
    }
    if (v->vt == VT_BSTR) {
        SysFreeString(v->bstrVal);
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) {
        return E_INVALIDARG;
    }
    if (!KnownType(src->vt)) {
        return DISP_E_BADVARTYPE;
    }
    if (dest == src) {
        return S_OK;
    }
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = com::BstrFromUtf16(com::BstrView(src->bstrVal));
        if (!copy.bstrVal) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        if (copy.vt == VT_BSTR) {
            SysFreeString(copy.bstrVal);
        }
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, unsigned short, VARTYPE vt) {
    if (!dest || !src) {
        return E_INVALIDARG;
    }
    if (!KnownType(src->vt) || !KnownType(vt)) {
        return DISP_E_BADVARTYPE;
    }
    if (src->vt == vt) {
        return VariantCopy(dest, src);
    }
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    switch (vt) {
        case VT_EMPTY:
            break;
        case VT_NULL:
            return DISP_E_TYPEMISMATCH;
        case VT_I4:
            switch (src->vt) {
                case VT_EMPTY:
                    result.lVal = 0;
                    break;
                case VT_BOOL:
                    result.lVal = src->boolVal ? -1 : 0;
                    break;
                case VT_BSTR:
                    if (HRESULT hr = ParseI4(com::BstrView(src->bstrVal), &result.lVal);
                        FAILED(hr)) {
                        return hr;
                    }
                    break;
                default:
                    return DISP_E_TYPEMISMATCH;
            }
            break;
        case VT_BOOL:
            switch (src->vt) {
                case VT_EMPTY:
                    result.boolVal = VARIANT_FALSE;
                    break;
                case VT_I4:
                    result.boolVal = src->lVal != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                    break;
                case VT_BSTR: {
                    std::u16string_view s = Trimmed(com::BstrView(src->bstrVal));
                    std::int32_t number = 0;
                    if (EqualsAsciiNoCase(s, u"true")) {
                        result.boolVal = VARIANT_TRUE;
                    } else if (EqualsAsciiNoCase(s, u"false")) {
                        result.boolVal = VARIANT_FALSE;
                    } else if (SUCCEEDED(ParseI4(s, &number))) {
                        result.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                    } else {
                        return DISP_E_TYPEMISMATCH;
                    }
                    break;
                }
                default:
                    return DISP_E_TYPEMISMATCH;
            }
            break;
        case VT_BSTR: {
            std::u16string text;
            switch (src->vt) {
                case VT_EMPTY:
                    break;
                case VT_I4:
                    text = DecimalText(src->lVal);
                    break;
                case VT_BOOL:
                    text = src->boolVal ? u"True" : u"False";
                    break;
                default:
                    return DISP_E_TYPEMISMATCH;
            }
            result.bstrVal = com::BstrFromUtf16(text);
            if (!result.bstrVal) {
                return E_OUTOFMEMORY;
            }
            break;
        }
        default:
            return DISP_E_BADVARTYPE;
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}

CComVariant::CComVariant(std::u16string_view text) {
    VariantInit(this);
    bstrVal = com::BstrFromUtf16(text);
    // Out of memory leaves the variant empty rather than half made.
    vt = bstrVal ? VT_BSTR : VT_EMPTY;
}

CComVariant::CComVariant(std::int32_t value) {
    VariantInit(this);
    vt = VT_I4;
    lVal = value;
}

CComVariant::CComVariant(bool value) {
    VariantInit(this);
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

CComVariant::CComVariant(const CComVariant& other) {
    VariantInit(this);
    VariantCopy(this, &other);
}

CComVariant::CComVariant(CComVariant&& other) noexcept {
    VariantInit(this);
    Attach(&other);
}

CComVariant& CComVariant::operator=(const CComVariant& other) {
    if (this != &other) {
        VariantCopy(this, &other);
    }
    return *this;
}

CComVariant& CComVariant::operator=(CComVariant&& other) noexcept {
    if (this != &other) {
        Attach(&other);
    }
    return *this;
}

void CComVariant::Attach(VARIANT* v) {
    VariantClear(this);
    static_cast<VARIANT&>(*this) = *v;
    VariantInit(v);
}
