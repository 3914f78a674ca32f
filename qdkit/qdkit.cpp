// qdkit: reads, checks and converts every kind of file the kit knows.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/version.h"
#include "qdkit/cli.h"
#include "qdkit/text.h"

namespace {

std::vector<std::string> KindNames() {
    std::vector<std::string> names;
    for (const FileKind* kind : Kinds()) names.push_back(kind->name());
    return names;
}

// One of a few words; the message names them, and the nearest.
CLI::Validator OneOf(std::vector<std::string> names) {
    return CLI::Validator(
        [names](std::string& word) {
            if (std::find(names.begin(), names.end(), word) != names.end()) return std::string();
            return "'" + word + "' is not one of " + Listed(names) + DidYouMean(word, names);
        },
        "");
}

// An output's name may not be empty: the option would seem taken and do nothing.
CLI::Validator NamedOutput() {
    return CLI::Validator(
        [](std::string& name) { return name.empty() ? std::string("an empty name") : ""; }, "");
}

// Every kind's conversions, the default first, and the names a file of
// that kind is written under.
std::string ConversionsText() {
    std::vector<std::string> lines;
    std::size_t width = 0;
    for (const FileKind* from : Kinds()) {
        std::string targets;
        for (const FileKind* to : TargetsOf(*from))
            targets += (targets.empty() ? "" : ", ") + std::string(to->name());
        lines.push_back(std::string(from->name()) + " -> " + targets);
        width = std::max(width, lines.back().size());
    }
    std::string text = "Conversions (default first), and the names each kind is written as:\n";
    for (std::size_t n = 0; n < lines.size(); ++n) {
        text += "  " + lines[n] + std::string(width + 2 - lines[n].size(), ' ') +
                Kinds()[n]->outputs() + "\n";
    }
    return text +
           "BASE is the input's name without folder and extension. FILE - reads the standard\n"
           "input, -o - writes the standard output.\n";
}

void AddBatchOptions(CLI::App* command, CommandLine& line, const char* verb) {
    command->add_flag(
        "--json", line.batch.json,
        std::string("Write one JSON document: an array, one object per file ") + verb + ".");
    command->add_flag("-r,--recursive", line.batch.recursive,
                      "Read the files in folders, and in the folders in them; files of no "
                      "known kind there are skipped.");
    command->add_flag("-q,--quiet", line.quiet, "Print errors only.");
}

CLI::Option* AddFiles(CLI::App* command, CommandLine& line, const char* name, const char* what) {
    return command->add_option(name, line.files, what)->option_text("...")->required();
}

// --dat, once for each catalogue.
void AddDats(CLI::App* command, std::vector<std::string>& dats, const char* what) {
    command->add_option("--dat", dats, what)
        ->option_text("FILE")
        ->expected(1)
        ->allow_extra_args(false)
        ->take_all();
}

void InfoOptionsOf(CLI::App* info, CommandLine& line) {
    info->add_flag("--hash", line.hashes,
                   "Show the hashes a catalogue lists: FDS images headerless and as .qd, QD "
                   "sides as MZT (the JSON always holds them).");
    AddBatchOptions(info, line, "read");
    AddFiles(info, line, "FILE", "Files to read (- the standard input).");
}

void VerifyOptionsOf(CLI::App* verify, CommandLine& line) {
    AddBatchOptions(verify, line, "checked");
    AddFiles(verify, line, "FILE", "Files to check (- the standard input).");
}

void MatchOptionsOf(CLI::App* match, CommandLine& line) {
    AddDats(match, line.match.dats,
            "A catalogue of known good dumps: Logiqx XML or clrmamepro DAT (required; give it "
            "again for more).");
    match->get_option("--dat")->required();
    AddBatchOptions(match, line, "looked up");
    AddFiles(match, line, "FILE", "Files to look up (- the standard input).");
    match->footer(
        "Forms looked up: an FDS disk's headerless image (65500 bytes a side) and .qd image\n"
        "(65536 bytes a side), a QD side's MZT file, and the file itself. Raw sides and\n"
        "captures are looked up as the image they decode to. Exit status 0 only when every\n"
        "file matched.\n");
}

void ConvertOptionsOf(CLI::App* convert, CommandLine& line) {
    ConvertOptions& options = line.convert;
    convert
        ->add_option("--to", line.to, "Target kind where there is a choice (default: see below).")
        ->option_text("KIND")
        ->check(OneOf(KindNames()));
    convert->add_option("-o", options.output, "Name of the output, when there is exactly one.")
        ->option_text("OUT")
        ->check(NamedOutput());
    convert
        ->add_option("-C", options.folder,
                     "Folder for the outputs, made when missing "
                     "(default: the current one).")
        ->option_text("DIR");
    convert
        ->add_option("--side", line.sides,
                     "FDS sides to convert: A, B, ... or 1, 2, ..., "
                     "ranges A-C or 1-3.")
        ->option_text("SIDES")
        ->delimiter(',');
    convert->add_flag("--force", options.force, "Replace existing outputs.");
    convert->add_flag("-n,--no-clobber", options.noclobber,
                      "Keep existing outputs and write the others, to resume a batch.");
    convert->add_flag("--salvage", options.salvage,
                      "Keep what a damaged side decoded to, with a warning.");
    convert->add_flag("--strict", options.strict, "Fail a file on any warning, writing nothing.");
    AddBatchOptions(convert, line, "converted");
    AddFiles(convert, line, "FILE", "Files to convert (- the standard input).");
    convert->footer(ConversionsText());
}

void JoinOptionsOf(CLI::App* join, CommandLine& line) {
    join->add_option("-o", line.join.output,
                     "The image to write (required; - the standard "
                     "output).")
        ->option_text("OUT")
        ->required()
        ->check(NamedOutput());
    join->add_option("--to", line.to, "fds (the default) or fds-qd.")
        ->option_text("KIND")
        ->check(OneOf({"fds", "fds-qd"}));
    join->add_flag("--force", line.join.force, "Replace an existing image.");
    join->add_flag("--salvage", line.join.salvage,
                   "Keep a side that does not decode cleanly as decoded, with a warning.");
    join->add_flag("-q,--quiet", line.quiet, "Print errors only.");
    AddFiles(join, line, "SIDE", "Raw FDS sides or one-side FDS images, in order.");
}

void RecoverOptionsOf(CLI::App* recover, CommandLine& line) {
    RecoverOptions& rescue = line.recover;
    recover->add_option("-o", rescue.output, "Name of the rescued side (- the standard output).")
        ->option_text("OUT")
        ->check(NamedOutput());
    recover
        ->add_option("-C", rescue.folder,
                     "Folder for the outputs, made when missing "
                     "(default: the current one).")
        ->option_text("DIR");
    recover
        ->add_option("--to", rescue.to, "fds for an FDS side; mzt (default) or qdf for a QD side.")
        ->option_text("KIND")
        ->check(OneOf({"fds", "mzt", "qdf"}));
    recover
        ->add_option("--side-of", rescue.sideof,
                     "Rescue the side that READ holds; reads of other sides are left out.")
        ->option_text("READ");
    recover->add_flag("--json", rescue.json, "Write one JSON document of the rescue.");
    recover->add_option("--map", rescue.map, "Draw the side, each read and the result, as SVG.")
        ->option_text("MAP.svg")
        ->check(NamedOutput());
    recover->add_flag("--strict", rescue.strict, "Write nothing unless the whole side is rescued.");
    recover->add_flag("--force", rescue.force, "Replace existing outputs.");
    recover->add_flag("--salvage", rescue.salvage,
                      "Keep what was rescued of an incomplete side (as recover always does).");
    AddDats(recover, rescue.dats,
            "Say whether the rescued side matches a dump this catalogue lists.");
    recover->add_flag("-q,--quiet", line.quiet, "Print errors only.");
    AddFiles(recover, line, "READ", "Raw reads (or dumper captures) of one side.");
    recover->footer(
        "Statuses: good (a copy passes its CRC), voted (one put together from the copies\n"
        "does: their majority, each stretch from the copy clean there, or two copies\n"
        "spliced where one lost or gained cells), inferred (its end found by its CRC),\n"
        "bad, missing, conflict (good copies differ). Exit status 0 only when the side\n"
        "is complete: every block it announces and every block found, once each and in\n"
        "their order, good or voted.\n");
}

void BlankOptionsOf(CLI::App* blank, CommandLine& line) {
    blank
        ->add_option("-o", line.blank.output,
                     "The image to write (required; - the standard output).")
        ->option_text("OUT")
        ->required()
        ->check(NamedOutput());
    blank
        ->add_option("--to", line.to,
                     "The kind to make: hxc-qd (the default), as FlashFloppy makes one.")
        ->option_text("KIND")
        ->check(OneOf({"hxc-qd"}));
    blank->add_flag("--force", line.blank.force, "Replace an existing file.");
    blank->add_flag("-q,--quiet", line.quiet, "Print errors only.");
    blank->footer(
        "A Gotek running FlashFloppy plays it as a QD drive whose disk the MZ can format:\n"
        "one track with the lead-in, window, length and fill the firmware's own images have.\n");
}

void HelpOptionsOf(CLI::App* help, CommandLine& line) {
    help->add_option("COMMAND", line.helpon, "The command to tell about.")->option_text(" ");
}

struct Command {
    const char* name;
    const char* about;
    void (*options)(CLI::App*, CommandLine&);
};

constexpr Command kCommands[] = {
    {"info", "Show each file's kind and what it holds.", InfoOptionsOf},
    {"verify", "Check that each file survives the trip through a side.", VerifyOptionsOf},
    {"convert", "Convert each file to another kind.", ConvertOptionsOf},
    {"join", "Join FDS sides into one FDS image with the header.", JoinOptionsOf},
    {"recover", "Rescue one side from one damaged read of it or several: every intact block.",
     RecoverOptionsOf},
    {"extract", "Write the files on each disk, and a manifest, into a folder of its own.",
     ExtractOptionsOf},
    {"pack", "Build an image from a folder that extract wrote.", PackOptionsOf},
    {"match", "Look each file up in catalogues (DATs) of known good dumps.", MatchOptionsOf},
    {"blank", "Make a blank QD image that a Gotek can format.", BlankOptionsOf},
    {"help", "Show this help, or a command's.", HelpOptionsOf},
};

// The command whose options the call needs: the one it runs, or the one
// help is asked about. Making every command's options would cost each
// call more than the rest of its start-up.
std::string NamedCommand(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "help") return argv[2];
    return argc > 1 ? argv[1] : "";
}

// Only the command a call runs is made when it names one: each costs the
// call more than its own work on a small file. help and a bare --version
// list or need none but what help shows.
void AddCommands(CLI::App& app, CommandLine& line, const std::string& named, int argc,
                 char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    const bool runs =
        first != "help" && std::any_of(std::begin(kCommands), std::end(kCommands),
                                       [&](const Command& c) { return first == c.name; });
    if (argc == 2 && first == "--version") return;
    for (const Command& command : kCommands) {
        if (runs && first != command.name) continue;
        CLI::App* sub = app.add_subcommand(command.name, command.about);
        sub->group("Commands");
        if (named == command.name || command.options == HelpOptionsOf) command.options(sub, line);
    }
}

}  // namespace

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    CLI::App app{"Reads, checks and converts FDS and QD disk images, raw sides and MZT files.",
                 "qdkit"};
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("Positionals", "Arguments");
    app.set_help_flag("-h,--help", "Show this help and exit.");
    app.set_version_flag("--version", std::string("qdkit ") + KIT_VERSION, "Show the version.");
    app.require_subcommand(1);
    app.footer("Kinds: " + Listed(KindNames()) +
               ", told apart by content.\n"
               "Exit status: 0 success, 1 a file failed, 2 a wrong command line, 130 or 143\n"
               "interrupted.\n");
    CommandLine line;
    AddCommands(app, line, NamedCommand(argc, argv), argc, argv);
    if (const int status = CheckCommandName(app, argc, argv)) return status;
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return ExplainParseError(e, app, argc, argv);
    }
    return CheckAndRun(app, line);
}
