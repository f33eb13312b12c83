// The command line of a tool whose syntax is the project's own: commands,
// options (flags, values, whole numbers in a range), positional arguments,
// "--" ending the options, --help and -h; and the two-line usage error every
// such tool prints. Messages are the caller's (English, for the terminal);
// "{}" in a message template stands for the argument concerned.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What a command line asks for.
enum class EToolParse { kRun, kHelp, kUsageError };

// One option or positional argument of a command line.
class CToolArgument {
public:
    // Takes a value: "" when taken, else the message saying what is wrong.
    using CTake = std::function<std::string(const std::string& value)>;

    // The message when the value (or a required positional argument) is not
    // there. Default: "NAME needs a value", "NAME is needed".
    CToolArgument& Missing(std::string message) {
        m_strMissing = std::move(message);
        return *this;
    }
    // An empty value counts as a missing one.
    CToolArgument& NotEmpty() { return Set(&CToolArgument::m_bNotEmpty); }
    // The option given twice is a usage error ("NAME is given twice");
    // otherwise each value goes to the take in turn.
    CToolArgument& Once() { return Set(&CToolArgument::m_bOnce); }
    // A positional argument that may be left out.
    CToolArgument& Optional() { return Set(&CToolArgument::m_bOptional); }

private:
    friend class CToolOptions;
    CToolArgument(const std::string& names, bool takesValue, CTake take, std::string missing);
    CToolArgument& Set(bool CToolArgument::*property) {
        this->*property = true;
        return *this;
    }
    bool Take(const std::string& value, std::string* error) const;

    std::vector<std::string> m_names;  // "--long", "-s"; a positional argument's name
    bool m_bTakesValue;
    CTake m_take;
    std::string m_strMissing;
    bool m_bNotEmpty = false;
    bool m_bOnce = false;
    bool m_bOptional = false;
};

class CToolOptions {
public:
    CToolOptions();
    ~CToolOptions();

    // The syntax of this line and of the commands declared after it.
    // "--opt=VALUE" as well as "--opt VALUE".
    CToolOptions& AttachedValues() { return Set(&CSyntax::attachedValues, true); }
    // No options: every argument is positional, "-x" and "--" too.
    CToolOptions& NoOptions() { return Set(&CSyntax::options, false); }
    // An undeclared option (default "unknown option {}").
    CToolOptions& UnknownOption(std::string message) {
        return Set(&CSyntax::unknownOption, std::move(message));
    }
    // A positional argument past the declared ones (default "too many
    // arguments: {}").
    CToolOptions& ExtraArgument(std::string message) {
        return Set(&CSyntax::extraArgument, std::move(message));
    }

    // Options, named with '|' between aliases ("--yes|-y"); the first name is
    // the one messages use. A value is the next argument (or the text after
    // '=' with AttachedValues).
    CToolArgument& Flag(const std::string& names, bool* set);
    CToolArgument& Value(const std::string& names, std::string* out);
    CToolArgument& Value(const std::string& names, CToolArgument::CTake take);
    // A whole number from min to max; the refusal defaults to "NAME wants a
    // number from MIN to MAX".
    template <class Int>
    CToolArgument& Integer(const std::string& names, Int* out, long long min, long long max,
                           std::string refusal = "") {
        return IntegerValue(names, min, max, std::move(refusal),
                            [out](long long n) { *out = static_cast<Int>(n); });
    }

    // Positional arguments, in order; each is required unless Optional().
    CToolArgument& Positional(const std::string& name, std::string* out);
    CToolArgument& Positional(const std::string& name, CToolArgument::CTake take);
    // The arguments after the positional ones, as they are: options end there.
    CToolOptions& Rest(std::vector<std::string>* out) {
        m_pRest = out;
        return *this;
    }

    // A command, named by the first positional argument ('|' between
    // aliases): chosen() runs when it is, and the arguments after it are read
    // by the line returned here, which starts with this line's syntax. A line
    // with commands has no positional arguments of its own; none given is
    // "no command given", another word "unknown command "WORD"".
    CToolOptions& Command(const std::string& names, std::function<void()> chosen);

    // Reads args (without the program name) in order, handing each value to
    // its take. --help or -h where an option may stand stops the reading with
    // kHelp; the first mistake stops it with kUsageError and *error set.
    EToolParse Parse(const std::vector<std::string>& args, std::string* error) const;

private:
    struct CSyntax {
        bool attachedValues = false;
        bool options = true;
        std::string unknownOption = "unknown option {}";
        std::string extraArgument = "too many arguments: {}";
    };
    struct CCommand;

    template <class T>
    CToolOptions& Set(T CSyntax::*setting, T value) {
        m_syntax.*setting = std::move(value);
        return *this;
    }

    CToolArgument& IntegerValue(const std::string& names, long long min, long long max,
                                std::string refusal, std::function<void(long long)> store);
    EToolParse ParseFrom(const std::vector<std::string>& args, std::size_t first,
                         std::string* error) const;
    bool TakeOption(const std::vector<std::string>& args, std::size_t* i,
                    std::vector<const CToolArgument*>* given, std::string* error) const;

    CSyntax m_syntax;
    std::deque<CToolArgument> m_options;  // deques: declared arguments never move
    std::deque<CToolArgument> m_positionals;
    std::vector<std::string>* m_pRest = nullptr;
    std::vector<CCommand> m_commands;
};

// A usage error on err: "TOOL: MESSAGE" and "Type "TOOL --help" for usage.".
void PrintUsageError(std::ostream& err, std::string_view tool, std::string_view message);
