// Variants: the tagged values automation passes (empty, 32-bit integer,
// automation string, boolean), with the conversions between them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"

using VARTYPE = std::uint16_t;
enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_VOID = 24,  // type libraries only: a method without a result
};

using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
    VARTYPE vt;
    union {
        std::int32_t lVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
    };
};

void VariantInit(VARIANT* v);
// Frees what the variant owns and makes it empty. DISP_E_BADVARTYPE for a
// type this layer does not know (the variant is then left alone).
HRESULT VariantClear(VARIANT* v);
// dest gets a deep copy of src (what dest held is cleared first).
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts src to type vt into dest (dest may be src). Strings to integers
// take decimal text with an optional sign and blanks around it
// (DISP_E_TYPEMISMATCH otherwise, DISP_E_OVERFLOW beyond 32 bits); strings
// to booleans take "true"/"false" in any case or a number; booleans become
// -1 / 0 and "True" / "False". On failure dest is unchanged.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, unsigned short flags, VARTYPE vt);

// A variant that owns its value.
class CComVariant : public VARIANT {
public:
    CComVariant() { VariantInit(this); }
    explicit CComVariant(std::u16string_view text);
    explicit CComVariant(const char16_t* text) : CComVariant(std::u16string_view(text)) {}
    explicit CComVariant(std::int32_t value);
    explicit CComVariant(bool value);
    CComVariant(const CComVariant& other);
    CComVariant(CComVariant&& other) noexcept;
    CComVariant& operator=(const CComVariant& other);
    CComVariant& operator=(CComVariant&& other) noexcept;
    ~CComVariant() { VariantClear(this); }

    void Clear() { VariantClear(this); }
    // Takes over what v owns; v is left empty.
    void Attach(VARIANT* v);
};
