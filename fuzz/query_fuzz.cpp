// The update query's request line as the update control composes it and as
// the update server reads it back: the three values (the input parted at
// zero bytes) travel escaped, stand in a valid request target, and arrive
// as the same bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/update_answer.h"
#include "fuzz/fuzz_env.h"
#include "tools/update-server/request_route.h"
#include "tools/update-server/url_escapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts(3);
    std::size_t part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part < 2)
            ++part;
        else
            parts[part] += static_cast<char>(data[i]);
    }
    const std::string& fileName = parts[0];
    const std::string& version = parts[1];
    const std::string& user = parts[2];

    const std::string path = ComposeQueryPath(fileName, version, user);
    // Nothing that would end or split the request line, or add a parameter.
    for (unsigned char c : path)
        FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '#');
    FUZZ_CHECK(path.rfind("/rdcenter/newweb/sql.asp?", 0) == 0);

    const CRoute route = RouteRequest(path);
    FUZZ_CHECK(route.kind == ERouteKind::kQuery);
    FUZZ_CHECK(QueryValue(route.query, "fileid") == fileName);
    FUZZ_CHECK(QueryValue(route.query, "versnumber") == (version.empty() ? "0" : version));
    FUZZ_CHECK(QueryValue(route.query, "userid") == user);

    // A package's path: the bytes it names stay below the served folder.
    const std::string archive = ComposePackagePath(fileName);
    for (unsigned char c : archive)
        FUZZ_CHECK(c > 0x20 && c < 0x7F);
    FUZZ_CHECK(archive.rfind("/rdcenter/newweb/", 0) == 0);
    return 0;
}
