// Request targets as the update server routes them: whatever comes, a route
// names only a query, or a published course's archive or page by a valid
// course name and an eight-digit code; nothing can name a file elsewhere.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_env.h"
#include "tools/update-server/package_names.h"
#include "tools/update-server/request_route.h"
#include "tools/update-server/url_escapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view uri(reinterpret_cast<const char*>(data), size);
    const CRoute route = RouteRequest(uri);
    switch (route.kind) {
        case ERouteKind::kNotFound:
            FUZZ_CHECK(route.courses.empty());
            break;
        case ERouteKind::kQuery:
            FUZZ_CHECK(uri.substr(0, kServedPrefix.size()) == kServedPrefix);
            FUZZ_CHECK(route.courses.empty());
            break;
        case ERouteKind::kArchive:
        case ERouteKind::kExplain:
            FUZZ_CHECK(!route.courses.empty());
            for (const std::string& course : route.courses) {
                FUZZ_CHECK(course != "." && course != "..");
                FUZZ_CHECK(course.find('/') == std::string::npos);
                FUZZ_CHECK(course.find('\0') == std::string::npos);
            }
            FUZZ_CHECK(route.code.size() == 8);
            for (char c : route.code)
                FUZZ_CHECK(c >= '0' && c <= '9');
            break;
    }
    // Decoding never grows a value.
    const std::string decoded = PercentDecode(uri);
    FUZZ_CHECK(decoded.size() <= uri.size());
    return 0;
}
