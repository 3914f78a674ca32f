// qdkit's command line beyond its options (qdkit.cpp): what every command
// says, checked once the parser is done, its errors told in the kit's own
// words, and the command run.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "qdkit/commands.h"
#include "qdkit/files.h"

inline constexpr int kUsageStatus = 2;

// Everything the command line says, for whichever command it names.
struct CommandLine {
    std::vector<std::string> files;
    BatchOptions batch;
    bool quiet = false;
    ConvertOptions convert;
    std::string to;                  // convert's and join's --to, as given
    std::vector<std::string> sides;  // --side, as given
    JoinOptions join;
    RecoverOptions recover;
    ExtractOptions extract;
    PackOptions pack;
    MatchOptions match;
    BlankOptions blank;
    bool hashes = false;              // info --hash
    std::vector<std::string> helpon;  // help COMMAND
};

// "; did you mean 'info'?" for a near miss of one of names, else empty.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& names);

// A usage error: the text and where the help is; exit status 2.
int UsageError(const std::string& text, const std::string& command = {});
// A first word that names no command, before the parser sees it; 0 for none.
int CheckCommandName(const CLI::App& app, int argc, char** argv);
// The parser's complaint in the kit's words; exit status 2.
int ExplainParseError(const CLI::ParseError& error, const CLI::App& app, int argc, char** argv);
// What the parser cannot check, then the command.
int CheckAndRun(CLI::App& app, CommandLine& line);
