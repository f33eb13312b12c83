#include "tools/sample-course/sample_args.h"

#include <climits>

#include "platform/text/text.h"

namespace {

constexpr int kLargeFiles = 5000;
constexpr int kLargeMegabytes = 200;

}  // namespace

EToolParse ParseSampleArgs(const std::vector<std::string>& args, CSampleArgs* parsed,
                           std::string* error) {
    SampleCourseOptions& options = parsed->options;
    bool large = false;
    int files = -1, megabytes = -1;
    CToolOptions line;
    line.ExtraArgument("only one folder may be given");
    line.Positional("DIR", &parsed->dir).NotEmpty();
    line.Flag("--large", &large);
    line.Flag("--read-only", &options.readOnly);
    line.Integer("--files", &files, 0, INT_MAX, "--files needs a number")
        .Missing("--files needs a number");
    line.Integer("--megabytes", &megabytes, 0, INT_MAX, "--megabytes needs a number")
        .Missing("--megabytes needs a number");
    line.Value("--id", &options.courseId);
    line.Value("--name", [&options](const std::string& utf8) {
        options.courseName = text::Utf8ToGbk(utf8);
        return text::GbkToUtf8(options.courseName) == utf8
                   ? ""
                   : "the course name holds characters that GBK can't represent";
    });
    const EToolParse read = line.Parse(args, error);
    if (read == EToolParse::kRun && (large || files >= 0 || megabytes >= 0)) {
        // Alone, --files keeps the large CD's average file size (about 40 KB).
        options.bulkFiles = files >= 0 ? files : kLargeFiles;
        options.bulkMegabytes =
            megabytes >= 0 ? megabytes
            : files >= 0
                ? static_cast<int>(static_cast<long long>(files) * kLargeMegabytes / kLargeFiles)
                : kLargeMegabytes;
    }
    return read;
}
