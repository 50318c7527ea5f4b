#include "tools/solidsetup/tool_options.h"

#include <cstdio>
#include <cstdlib>

#include "tools/solidsetup/name_encoding.h"

namespace {

const OptionSpec kCommonOptions[] = {
    {"help", 'h', false},
    {"quiet", 'q', false},
    {"verbose", 'v', false},
};

const OptionSpec* FindLong(const std::vector<OptionSpec>& specs, const std::string& name) {
    for (const OptionSpec& spec : kCommonOptions) {
        if (name == spec.longName) return &spec;
    }
    for (const OptionSpec& spec : specs) {
        if (name == spec.longName) return &spec;
    }
    return nullptr;
}

const OptionSpec* FindShort(const std::vector<OptionSpec>& specs, char name) {
    for (const OptionSpec& spec : kCommonOptions) {
        if (name == spec.shortName) return &spec;
    }
    for (const OptionSpec& spec : specs) {
        if (spec.shortName != 0 && name == spec.shortName) return &spec;
    }
    return nullptr;
}

}  // namespace

void ReportError(const char* command, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "solidsetup %s: %s\n", command, message.c_str());
}

bool ParseArguments(const char* command, int argc, char** argv, const std::vector<OptionSpec>& specs,
                    ParsedArguments* parsed) {
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed->operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        std::string value;
        bool hasInlineValue = false;
        if (arg[1] == '-') {
            size_t equals = arg.find('=');
            std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            spec = FindLong(specs, name);
            if (equals != std::string::npos) {
                hasInlineValue = true;
                value = arg.substr(equals + 1);
            }
        } else if (arg.size() == 2) {
            spec = FindShort(specs, arg[1]);
        }
        if (spec == nullptr) {
            ReportError(command, "unknown option '" + arg + "' (try 'solidsetup " + command + " --help')");
            return false;
        }
        const std::string shown = arg.substr(0, arg.find('='));
        if (spec->takesValue && !hasInlineValue) {
            if (i + 1 >= argc) {
                ReportError(command, "option '" + shown + "' needs a value");
                return false;
            }
            value = argv[++i];
        } else if (!spec->takesValue && hasInlineValue) {
            ReportError(command, "option '" + shown + "' takes no value");
            return false;
        }
        std::string name = spec->longName;
        if (name == "help") {
            parsed->help = true;
        } else if (name == "quiet") {
            parsed->verbosity = 0;
        } else if (name == "verbose") {
            parsed->verbosity = 2;
        } else {
            parsed->options.push_back({name, value});
        }
    }
    return true;
}

const std::string* OptionValue(const ParsedArguments& parsed, const char* longName) {
    const std::string* found = nullptr;
    for (const auto& option : parsed.options) {
        if (option.first == longName) found = &option.second;
    }
    return found;
}

bool HasOption(const ParsedArguments& parsed, const char* longName) {
    return OptionValue(parsed, longName) != nullptr;
}

bool ExpectOperands(const char* command, const ParsedArguments& parsed, const std::vector<const char*>& required,
                    size_t optional) {
    if (parsed.operands.size() < required.size()) {
        ReportError(command, std::string("missing ") + required[parsed.operands.size()] + " (try 'solidsetup " +
                                 command + " --help')");
        return false;
    }
    if (parsed.operands.size() > required.size() + optional) {
        ReportError(command, "unexpected argument '" + parsed.operands[required.size() + optional] + "'");
        return false;
    }
    return true;
}

bool SetCodePageOption(const char* command, const std::string& value) {
    char* end = nullptr;
    long codePage = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != 0 || codePage <= 0 || codePage > 65535) {
        ReportError(command, "--codepage takes a Windows code page number such as 1252, not '" + value + "'");
        return false;
    }
    if (!SetArchiveCodePage(static_cast<int>(codePage))) {
        ReportError(command, "this system cannot convert names of code page " + value);
        return false;
    }
    return true;
}
