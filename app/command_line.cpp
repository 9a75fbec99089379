// The uninstaller's switches.
#include "app/command_line.h"

#include <vector>

namespace {

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inQuotes = false, started = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            started = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (started) arguments.push_back(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started) arguments.push_back(current);
    return arguments;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

std::string ArgumentsAfterProgramName(const std::string& commandLine) {
    const auto code = [&commandLine](std::size_t at) { return static_cast<unsigned char>(commandLine[at]); };
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        at = commandLine.find('"', 1);
        at = at == std::string::npos ? commandLine.size() : at + 1;
    } else {
        while (at < commandLine.size() && code(at) > ' ') ++at;
    }
    while (at < commandLine.size() && code(at) <= ' ' && code(at) != 0) ++at;
    return commandLine.substr(at);
}

CommandLine ParseCommandLine(const std::string& text) {
    CommandLine line;
    for (const std::string& argument : SplitArguments(text)) {
        const bool isSwitch = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
        const std::string name = isSwitch ? Upper(argument.substr(1)) : std::string();
        if (name == "S") {
            line.silent = true;
        } else if (name == "WHATIF") {
            line.whatIf = true;
        } else if (name == "?") {
            line.usage = true;
        } else if (name.compare(0, 4, "LOG=") == 0 && argument.size() > 5) {
            line.log = true;
            line.logPath = argument.substr(5);
        } else if (line.badArgument.empty()) {
            line.badArgument = argument.empty() ? "\"\"" : argument;
        }
    }
    return line;
}

bool NamesSilentSwitch(const std::string& text) {
    const auto blank = [&text](std::size_t at) { return at >= text.size() || text[at] == ' ' || text[at] == '\t'; };
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
        const bool starts = (text[at] == '/' || text[at] == '-') && (at == 0 || blank(at - 1));
        if (starts && (text[at + 1] == 'S' || text[at + 1] == 's') && blank(at + 2)) return true;
    }
    return false;
}

bool WhatIfWithoutLog(const CommandLine& line) {
    return line.whatIf && !line.log;
}

std::string UsageText(const std::string& badArgument, bool whatIfWithoutLog) {
    std::string text;
    if (!badArgument.empty()) text = "Unknown switch: " + badArgument + "\n\n";
    else if (whatIfWithoutLog) text = "/WHATIF writes what would be done to the /LOG= file: give one.\n\n";
    text +=
        "ZEVUnins [/S] [/LOG=file] [/WHATIF] [/?]\n"
        "\n"
        "/S\tSilent: no question, no progress dialog, no boxes.\n"
        "/LOG=file\tWrites what was done to the file (appended).\n"
        "/WHATIF\tWrites what would be done to the /LOG= file; removes nothing.\n"
        "/?\tShows this box.\n"
        "\n"
        "Exit status:\n"
        "0\tDone.\n"
        "3010\tDone; some files go at the next restart.\n"
        "1603\tSome items could not be removed.\n"
        "1602\tThe user answered No.\n"
        "87\tA bad command line.\n"
        "1618\tAnother copy is running; try again later.\n"
        "1622\tThe log file cannot be written.\n"
        "1621\tNo one can answer here: use /S.\n"
        "1\tOut of memory.";
    return text;
}
