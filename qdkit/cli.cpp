#include "qdkit/cli.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "common/console.h"
#include "common/interrupt.h"
#include "common/platform.h"
#include "qdkit/detect.h"
#include "qdkit/fdsside.h"
#include "qdkit/report.h"
#include "qdkit/text.h"

namespace {

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
    return names;
}

// The command the command line names, for errors about its options.
const CLI::App* CommandOf(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const CLI::App* command : app.get_subcommands({})) {
            if (command->get_name() == argv[i]) return command;
        }
    }
    return nullptr;
}

// Every spelling of every option a command takes, or qdkit's own before
// the command: a command rejects --version, so it is no near miss there.
std::vector<std::string> OptionNames(const CLI::App& app, const CLI::App* command) {
    std::vector<std::string> names;
    for (const CLI::Option* option : (command != nullptr ? command : &app)->get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

// --version after the command's name: the parser knows it only before.
bool VersionAfterCommand(const CLI::App* command, int argc, char** argv) {
    if (command == nullptr) return false;
    bool after = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") return false;
        if (after && word == "--version") return true;
        after = after || word == command->get_name();
    }
    return false;
}

std::string LowerFirst(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// "FILE is required", "-o is required", "A subcommand is required".
std::string Missing(const std::string& what, const CLI::App& app, const CLI::App* command) {
    const std::string name = what.substr(0, what.find(' '));
    if (command == nullptr) return "no command given: " + Listed(CommandNames(app));
    if (name == "-o") return command->get_name() + " needs -o OUT, the file to write";
    if (name == "--dat")
        return command->get_name() + " needs --dat FILE, a DAT to look files up in";
    if (!name.empty() && name[0] != '-') return command->get_name() + " needs at least one " + name;
    return name + " is required";
}

// "The following argument was not expected: --jsn"
std::string Unexpected(const std::string& what, const CLI::App& app, const CLI::App* command) {
    const std::size_t colon = what.find(": ");
    std::string word = colon == std::string::npos ? what : what.substr(colon + 2);
    word = word.substr(0, word.find(' '));
    if (word.size() > 1 && word[0] == '-') {
        const std::string name = word.substr(0, word.find('='));
        return "unknown option " + name + DidYouMean(name, OptionNames(app, command));
    }
    return "unexpected argument " + word;
}

}  // namespace

std::string DidYouMean(const std::string& word, const std::vector<std::string>& names) {
    const std::string near = NearestName(word, names);
    return near.empty() ? std::string() : "; did you mean '" + near + "'?";
}

int UsageError(const std::string& text, const std::string& command) {
    PutUtf8(true, "qdkit: error: " + text + "\nRun 'qdkit help" +
                      (command.empty() ? "" : " " + command) + "' for more information.\n");
    return kUsageStatus;
}

int CheckCommandName(const CLI::App& app, int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') return 0;
    const std::vector<std::string> names = CommandNames(app);
    if (std::find(names.begin(), names.end(), argv[1]) != names.end()) return 0;
    return UsageError(std::string("unknown command '") + argv[1] + "'" +
                      DidYouMean(argv[1], names));
}

int ExplainParseError(const CLI::ParseError& error, const CLI::App& app, int argc, char** argv) {
    const CLI::App* command = CommandOf(app, argc, argv);
    const std::string what = error.what();
    std::string text = LowerFirst(what);
    if (VersionAfterCommand(command, argc, argv)) {
        text = "--version goes before the command: qdkit --version";
    } else if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && command == nullptr &&
               argc > 1 && argv[1][0] == '-') {
        // An option of no command, where the command should be.
        text = Unexpected(argv[1], app, nullptr);
    } else if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        text = Missing(what, app, what.rfind("A subcommand", 0) == 0 ? nullptr : command);
    } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        text = Unexpected(what, app, command);
    } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr && what[0] == '-') {
        text = what.substr(0, what.find(':')) + " needs a value";
    }
    return UsageError(text, command != nullptr ? command->get_name() : "");
}

namespace {

int ShowHelp(const CLI::App& app, const std::vector<std::string>& on) {
    if (on.size() > 1) return UsageError("help tells of one command at a time", "");
    const CLI::App* command = nullptr;
    if (!on.empty()) {
        for (const CLI::App* sub : app.get_subcommands({}))
            if (sub->get_name() == on.front()) command = sub;
        if (command == nullptr) {
            return UsageError("unknown command '" + on.front() + "'" +
                              DidYouMean(on.front(), CommandNames(app)));
        }
    }
    const std::string text =
        command == nullptr
            ? app.get_formatter()->make_help(&app, "qdkit", CLI::AppFormatMode::Normal)
            : command->get_formatter()->make_help(command, "qdkit " + command->get_name(),
                                                  CLI::AppFormatMode::Normal);
    PutUtf8(false, text);
    return OutputWritten() ? 0 : 1;
}

// The standard input can be read once.
std::string StandardInputOnce(const std::vector<std::string>& files) {
    if (std::count(files.begin(), files.end(), kStandardStream) < 2) return {};
    return "- (the standard input) is named more than once";
}

// A file from the standard input has no name to give its outputs.
std::string NamedFromStandardInput(const std::string& first, const std::string& output) {
    if (first != kStandardStream || !output.empty()) return {};
    return "- (the standard input) gives no name to its output: name it with -o "
           "(-o - for the standard output)";
}

// At most one thing goes to the standard output.
std::string OneOnStandardOutput(const std::vector<std::pair<bool, const char*>>& claims) {
    std::vector<std::string> takers;
    for (const auto& [takes, name] : claims)
        if (takes) takers.push_back(name);
    if (takers.size() < 2) return {};
    const std::string last = takers.back();
    takers.pop_back();
    return Listed(takers) + " and " + last + (takers.size() == 1 ? " both" : " all") +
           " write to the standard output: give one";
}

// -C: a folder, or a name to make one under; false, having said why, else.
bool FolderUsable(const std::string& folder, bool make, const char* command, int& status) {
    if (folder.empty()) return true;
    std::error_code error;
    const std::filesystem::path native = NativePath(folder);
    const auto state = std::filesystem::status(native, error);
    if (std::filesystem::exists(state) && !std::filesystem::is_directory(state)) {
        status = UsageError("-C " + folder + ": not a folder", command);
        return false;
    }
    if (!make || std::filesystem::exists(state)) return true;
    std::filesystem::create_directories(native, error);
    if (!error) return true;
    PrintError("-C " + folder, "cannot create the folder: " + SystemReason(error.value()));
    status = 1;
    return false;
}

int RunConvertLine(CommandLine& line) {
    ConvertOptions& options = line.convert;
    options.batch = line.batch;
    if (!line.to.empty()) options.to = KindNamed(line.to);
    std::string error;
    if (const auto sides = ParseSideList(line.sides, error)) {
        options.sides = *sides;
    } else {
        return UsageError("--side: " + error, "convert");
    }
    if (!options.output.empty() && line.files.size() > 1) {
        error =
            "-o names one output, but " + std::to_string(line.files.size()) + " files are given";
    } else if (!options.output.empty() && options.batch.recursive) {
        error = "-o names one output, but --recursive may find many files";
    } else if (options.force && options.noclobber) {
        error = "--force replaces outputs, --no-clobber keeps them: give one";
    }
    if (error.empty()) error = StandardInputOnce(line.files);
    if (error.empty()) error = NamedFromStandardInput(line.files.front(), options.output);
    if (error.empty())
        error = OneOnStandardOutput(
            {{options.output == kStandardStream, "-o -"}, {options.batch.json, "--json"}});
    if (!error.empty()) return UsageError(error, "convert");
    int status = 0;
    if (!FolderUsable(options.folder, false, "convert", status)) return status;
    if (options.output == kStandardStream) TakeStandardOutput();
    WatchInterrupts();
    return RunConvert(line.files, options);
}

int RunJoinLine(CommandLine& line) {
    JoinOptions& options = line.join;
    if (!line.to.empty()) options.to = KindNamed(line.to);
    std::string error = StandardInputOnce(line.files);
    if (!error.empty()) return UsageError(error, "join");
    if (options.output == kStandardStream) TakeStandardOutput();
    WatchInterrupts();
    return RunJoin(line.files, options);
}

int RunRecoverLine(CommandLine& line) {
    RecoverOptions& options = line.recover;
    std::vector<std::string> inputs = line.files;
    inputs.insert(inputs.end(), options.dats.begin(), options.dats.end());
    std::string error = StandardInputOnce(inputs);
    if (error.empty() && options.salvage && options.strict)
        error =
            "--salvage keeps what was rescued, --strict writes nothing short of a whole "
            "side: give one";
    if (error.empty()) error = NamedFromStandardInput(line.files.front(), options.output);
    if (error.empty())
        error = OneOnStandardOutput({{options.output == kStandardStream, "-o -"},
                                     {options.map == kStandardStream, "--map -"},
                                     {options.json, "--json"}});
    if (!error.empty()) return UsageError(error, "recover");
    int status = 0;
    if (!FolderUsable(options.folder, true, "recover", status)) return status;
    if (options.output == kStandardStream || options.map == kStandardStream) TakeStandardOutput();
    WatchInterrupts();
    return RunRecover(line.files, options);
}

// The standard input is read once, whether for a file or a DAT.
int RunMatchLine(CommandLine& line) {
    std::vector<std::string> inputs = line.files;
    inputs.insert(inputs.end(), line.match.dats.begin(), line.match.dats.end());
    const std::string error = StandardInputOnce(inputs);
    if (!error.empty()) return UsageError(error, "match");
    line.match.batch = line.batch;
    return RunMatch(line.files, line.match);
}

int RunBlankLine(CommandLine& line) {
    if (line.blank.output == kStandardStream) TakeStandardOutput();
    WatchInterrupts();
    return RunBlank(line.blank);
}

}  // namespace

int CheckAndRun(CLI::App& app, CommandLine& line) {
    SetQuiet(line.quiet);
    OfferSalvage(!app.get_subcommands().empty() &&
                 app.get_subcommands().front()->get_option_no_throw("--salvage") != nullptr);
    // Only the commands the call made are there to ask.
    const auto parsed = [&](const char* name) {
        const std::vector<CLI::App*> made = app.get_subcommands();
        return std::any_of(made.begin(), made.end(),
                           [&](const CLI::App* command) { return command->get_name() == name; });
    };
    if (parsed("help")) return ShowHelp(app, line.helpon);
    if (parsed("convert")) return RunConvertLine(line);
    if (parsed("join")) return RunJoinLine(line);
    if (parsed("recover")) return RunRecoverLine(line);
    if (parsed("extract")) return RunExtractLine(line);
    if (parsed("pack")) return RunPackLine(line);
    if (parsed("blank")) return RunBlankLine(line);
    const std::string error = StandardInputOnce(line.files);
    if (!error.empty()) return UsageError(error, app.get_subcommands().front()->get_name());
    if (parsed("info")) return RunInfo(line.files, line.batch, line.hashes);
    if (parsed("match")) return RunMatchLine(line);
    if (parsed("verify")) return RunVerify(line.files, line.batch);
    return kUsageStatus;
}
