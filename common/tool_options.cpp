#include "common/tool_options.h"

#include <algorithm>
#include <ostream>

#include "platform/text/number.h"

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> list;
    std::size_t start = 0;
    for (std::size_t bar; (bar = names.find('|', start)) != std::string::npos; start = bar + 1)
        list.push_back(names.substr(start, bar - start));
    list.push_back(names.substr(start));
    return list;
}

// message with "{}" replaced by arg.
std::string Fill(std::string message, const std::string& arg) {
    if (std::size_t at = message.find("{}"); at != std::string::npos)
        message.replace(at, 2, arg);
    return message;
}

bool Names(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

CToolArgument::CTake Store(std::string* out) {
    return [out](const std::string& value) {
        *out = value;
        return "";
    };
}

}  // namespace

struct CToolOptions::CCommand {
    std::vector<std::string> names;
    std::function<void()> chosen;
    std::unique_ptr<CToolOptions> line;
};

CToolArgument::CToolArgument(const std::string& names, bool takesValue, CTake take,
                             std::string missing)
    : m_names(SplitNames(names)),
      m_bTakesValue(takesValue),
      m_take(std::move(take)),
      m_strMissing(std::move(missing)) {}

bool CToolArgument::Take(const std::string& value, std::string* error) const {
    if (m_bNotEmpty && value.empty()) {
        *error = m_strMissing;
        return false;
    }
    *error = m_take(value);
    return error->empty();
}

CToolOptions::CToolOptions() = default;
CToolOptions::~CToolOptions() = default;

CToolArgument& CToolOptions::Flag(const std::string& names, bool* set) {
    return m_options.emplace_back(CToolArgument(
        names, false,
        [set](const std::string&) {
            *set = true;
            return "";
        },
        ""));
}

CToolArgument& CToolOptions::Value(const std::string& names, std::string* out) {
    return Value(names, Store(out));
}

CToolArgument& CToolOptions::Value(const std::string& names, CToolArgument::CTake take) {
    CToolArgument option(names, true, std::move(take), "");
    option.m_strMissing = option.m_names[0] + " needs a value";
    return m_options.emplace_back(std::move(option));
}

CToolArgument& CToolOptions::IntegerValue(const std::string& names, long long min, long long max,
                                          std::string refusal,
                                          std::function<void(long long)> store) {
    if (refusal.empty()) {
        refusal = SplitNames(names)[0] + " wants a number from " + std::to_string(min) + " to " +
                  std::to_string(max);
    }
    return Value(names, [=](const std::string& value) -> std::string {
        const std::optional<std::int64_t> n = text::ParseDecimal(value, min, max);
        if (!n)
            return refusal;
        store(*n);
        return "";
    });
}

CToolArgument& CToolOptions::Positional(const std::string& name, std::string* out) {
    return Positional(name, Store(out));
}

CToolArgument& CToolOptions::Positional(const std::string& name, CToolArgument::CTake take) {
    return m_positionals.emplace_back(
        CToolArgument(name, true, std::move(take), name + " is needed"));
}

CToolOptions& CToolOptions::Command(const std::string& names, std::function<void()> chosen) {
    auto line = std::make_unique<CToolOptions>();
    line->m_syntax = m_syntax;
    CToolOptions& declared = *line;
    m_commands.push_back(CCommand{SplitNames(names), std::move(chosen), std::move(line)});
    return declared;
}

EToolParse CToolOptions::Parse(const std::vector<std::string>& args, std::string* error) const {
    error->clear();
    return ParseFrom(args, 0, error);
}

EToolParse CToolOptions::ParseFrom(const std::vector<std::string>& args, std::size_t first,
                                   std::string* error) const {
    std::vector<const CToolArgument*> given;
    std::size_t positional = 0;
    bool optionsEnded = !m_syntax.options;
    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help" || arg == "-h")
                return EToolParse::kHelp;
            if (!TakeOption(args, &i, &given, error))
                return EToolParse::kUsageError;
        } else if (!m_commands.empty()) {
            for (const CCommand& command : m_commands) {
                if (!Names(command.names, arg))
                    continue;
                if (command.chosen)
                    command.chosen();
                return command.line->ParseFrom(args, i + 1, error);
            }
            *error = "unknown command \"" + arg + "\"";
            return EToolParse::kUsageError;
        } else if (positional < m_positionals.size()) {
            if (!m_positionals[positional++].Take(arg, error))
                return EToolParse::kUsageError;
        } else if (m_pRest) {
            m_pRest->insert(m_pRest->end(), args.begin() + static_cast<std::ptrdiff_t>(i),
                            args.end());
            break;
        } else {
            *error = Fill(m_syntax.extraArgument, arg);
            return EToolParse::kUsageError;
        }
    }
    if (!m_commands.empty()) {
        *error = "no command given";
        return EToolParse::kUsageError;
    }
    for (; positional < m_positionals.size(); ++positional) {
        if (!m_positionals[positional].m_bOptional) {
            *error = m_positionals[positional].m_strMissing;
            return EToolParse::kUsageError;
        }
    }
    return EToolParse::kRun;
}

bool CToolOptions::TakeOption(const std::vector<std::string>& args, std::size_t* i,
                              std::vector<const CToolArgument*>* given, std::string* error) const {
    const std::string& arg = args[*i];
    std::string name = arg;
    std::size_t equals = std::string::npos;
    if (m_syntax.attachedValues && arg.starts_with("--")) {
        equals = arg.find('=');
        name = arg.substr(0, equals);
    }
    const auto option = std::find_if(m_options.begin(), m_options.end(), [&](const auto& o) {
        return Names(o.m_names, name) && (o.m_bTakesValue || equals == std::string::npos);
    });
    if (option == m_options.end()) {
        *error = Fill(m_syntax.unknownOption, arg);
        return false;
    }
    if (option->m_bOnce && std::find(given->begin(), given->end(), &*option) != given->end()) {
        *error = option->m_names[0] + " is given twice";
        return false;
    }
    given->push_back(&*option);
    if (!option->m_bTakesValue || equals != std::string::npos)
        return option->Take(option->m_bTakesValue ? arg.substr(equals + 1) : "", error);
    if (*i + 1 >= args.size()) {
        *error = option->m_strMissing;
        return false;
    }
    return option->Take(args[++*i], error);
}

void PrintUsageError(std::ostream& err, std::string_view tool, std::string_view message) {
    err << tool << ": " << message << "\nType \"" << tool << " --help\" for usage.\n";
}
