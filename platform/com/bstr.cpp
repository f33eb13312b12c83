#include "platform/com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/text/text.h"

namespace {

// The byte length sits in front of the characters, as on the desktop system.
using Header = std::uint32_t;

Header* HeaderOf(BSTR s) {
    return reinterpret_cast<Header*>(reinterpret_cast<char*>(s) - sizeof(Header));
}

}  // namespace

BSTR SysAllocString(LPCOLESTR s) {
    if (!s) {
        return nullptr;
    }
    std::size_t len = 0;
    while (s[len] != 0) {
        ++len;
    }
    if (len > std::numeric_limits<UINT>::max()) {
        return nullptr;
    }
    return SysAllocStringLen(s, static_cast<UINT>(len));
}

BSTR SysAllocStringLen(LPCOLESTR s, UINT len) {
    constexpr std::size_t kMaxChars = (std::numeric_limits<Header>::max() / sizeof(OLECHAR)) - 1;
    if (len > kMaxChars) {
        return nullptr;
    }
    const std::size_t bytes = std::size_t{len} * sizeof(OLECHAR);
    void* block = std::malloc(sizeof(Header) + bytes + sizeof(OLECHAR));
    if (!block) {
        return nullptr;
    }
    *static_cast<Header*>(block) = static_cast<Header>(bytes);
    BSTR text = reinterpret_cast<BSTR>(static_cast<char*>(block) + sizeof(Header));
    if (s) {
        std::memcpy(text, s, bytes);
    } else {
        std::memset(text, 0, bytes);
    }
    text[len] = 0;
    return text;
}

void SysFreeString(BSTR s) {
    if (s) {
        std::free(HeaderOf(s));
    }
}

UINT SysStringLen(BSTR s) {
    return s ? static_cast<UINT>(*HeaderOf(s) / sizeof(OLECHAR)) : 0;
}

namespace com {

std::u16string_view BstrView(BSTR s) {
    return s ? std::u16string_view(s, SysStringLen(s)) : std::u16string_view();
}

BSTR BstrFromUtf16(std::u16string_view text) {
    if (text.size() > std::numeric_limits<UINT>::max()) {
        return nullptr;
    }
    // An empty string is a real (empty) string, not a null one.
    return SysAllocStringLen(text.empty() ? u"" : text.data(), static_cast<UINT>(text.size()));
}

BSTR BstrFromGbk(std::string_view gbk) {
    return BstrFromUtf16(text::GbkToUtf16(gbk));
}

bool IsGbkRepresentable(std::u16string_view utf16) {
    // The conversion puts '?' where a character has no GBK form (a lone
    // surrogate included); a round trip tells those apart from real '?'.
    return text::GbkToUtf16(text::Utf16ToGbk(utf16)) == utf16;
}

bool GbkFromBstr(BSTR s, std::string* gbk) {
    std::u16string_view view = BstrView(s);
    std::size_t zero = view.find(u'\0');
    if (zero != std::u16string_view::npos) {
        view = view.substr(0, zero);
    }
    if (!IsGbkRepresentable(view)) {
        return false;
    }
    *gbk = text::Utf16ToGbk(view);
    return true;
}

}  // namespace com
