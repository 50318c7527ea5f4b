// The tool's command-line conventions, shared by every command: long options
// as "--name value" or "--name=value", short ones as "-x value", "--" ends the
// options, and -h/--help, -q/--quiet and -v/--verbose are understood
// everywhere. Errors name the argument that is wrong.
#pragma once
#include <string>
#include <vector>

struct OptionSpec {
    const char* longName;  // without the leading "--"
    char shortName;        // 0 when there is none
    bool takesValue;
};

struct ParsedArguments {
    std::vector<std::pair<std::string, std::string>> options;  // long name, value ("" for a switch), in order
    std::vector<std::string> operands;
    bool help = false;
    int verbosity = 1;  // 0 with --quiet, 2 with --verbose
};

// Parses argv against the command's options. Returns false after printing an
// error that names the offending argument ("solidsetup COMMAND: ...").
bool ParseArguments(const char* command, int argc, char** argv, const std::vector<OptionSpec>& specs,
                    ParsedArguments* parsed);
// The last value given for an option, or null.
const std::string* OptionValue(const ParsedArguments& parsed, const char* longName);
bool HasOption(const ParsedArguments& parsed, const char* longName);
// Checks the number of operands; names a missing one (by its description) or
// the first surplus one. Returns false after printing the error.
bool ExpectOperands(const char* command, const ParsedArguments& parsed, const std::vector<const char*>& required,
                    size_t optional = 0);
// Prints "solidsetup COMMAND: message" to standard error.
void ReportError(const char* command, const std::string& message);
// Applies "--codepage N"; false after printing the error.
bool SetCodePageOption(const char* command, const std::string& value);
