// qdkit: reads, checks and converts every kind of file the kit knows.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/console.h"
#include "common/platform.h"
#include "common/version.h"
#include "fds/fds_format.h"
#include "qdkit/commands.h"

namespace {

constexpr int kUsageStatus = 2;

// CLI11's own folder check would read the name in the system code page on
// Windows; this one reads the kit's name, with CLI11's words.
CLI::Validator ExistingFolder() {
    return CLI::Validator(
        [](std::string& name) {
            std::error_code error;
            const auto status = std::filesystem::status(NativePath(name), error);
            if (error || !std::filesystem::exists(status)) {
                return "Directory does not exist: " + name;
            }
            if (!std::filesystem::is_directory(status)) {
                return "Directory is actually a file: " + name;
            }
            return std::string();
        },
        "DIR");
}

// An output's name may not be empty: the option would seem taken and do nothing.
CLI::Validator NamedOutput() {
    return CLI::Validator(
        [](std::string& name) {
            return name.empty() ? std::string("an empty name") : std::string();
        },
        "NAME");
}

int UsageError(const std::string& text) {
    PutUtf8(true, "qdkit: error: " + text + "\nRun 'qdkit --help' for more information.\n");
    return kUsageStatus;
}

std::vector<std::string> KindNames() {
    std::vector<std::string> names;
    for (const FileKind* kind : Kinds()) names.push_back(kind->name());
    return names;
}

// Every kind's conversions, the default first, and the names a file of
// that kind is written under.
std::string ConversionsText() {
    std::vector<std::string> lines;
    std::size_t width = 0;
    for (const FileKind* from : Kinds()) {
        std::string line = std::string(from->name()) + " -> " + from->target();
        for (const FileKind* to : Kinds()) {
            if (to != from && to->medium() == from->medium() &&
                std::string(to->name()) != from->target())
                line += std::string(", ") + to->name();
        }
        width = std::max(width, line.size());
        lines.push_back(line);
    }
    std::string text = "Conversions (default first), and the names each kind is written as:\n";
    for (std::size_t n = 0; n < lines.size(); ++n) {
        text += "  " + lines[n] + std::string(width + 2 - lines[n].size(), ' ') +
                Kinds()[n]->outputs() + "\n";
    }
    return text + "BASE is the input's name without folder and extension.\n";
}

}  // namespace

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    CLI::App app{"Reads, checks and converts FDS and QD disk images, raw sides and MZT files.",
                 "qdkit"};
    app.set_version_flag("--version", std::string("qdkit ") + KIT_VERSION);
    app.require_subcommand(1);
    std::string kinds;
    for (const std::string& name : KindNames()) kinds += (kinds.empty() ? "" : ", ") + name;
    app.footer("Kinds: " + kinds +
               ", told apart by content.\n"
               "Exit status: 0 success, 1 a file failed, 2 a wrong command line.\n");

    std::vector<std::string> files;
    bool json = false;
    CLI::App* info = app.add_subcommand("info", "Show each file's kind and what it holds.");
    info->add_flag("--json", json, "Write one JSON document: an array, one object per file.");
    info->add_option("FILE", files, "Files to read.")->required();

    CLI::App* verify =
        app.add_subcommand("verify", "Check that each file survives the trip through a side.");
    verify->add_option("FILE", files, "Files to check.")->required();

    ConvertOptions options;
    std::string to;
    CLI::App* convert = app.add_subcommand("convert", "Convert each file to another kind.");
    convert->add_option("--to", to, "Target kind where there is a choice (default: see below).")
        ->check(CLI::IsMember(KindNames()));
    convert->add_option("-o", options.output, "Name of the output, when there is exactly one.")
        ->check(NamedOutput());
    convert->add_option("-C", options.folder, "Folder for the outputs (default: the current one).")
        ->check(ExistingFolder());
    convert->add_option("--side", options.sides, "FDS sides to convert, counted from 1.")
        ->delimiter(',')
        ->check(CLI::Range(1, kFdsMaxSideCount));
    convert->add_flag("--force", options.force,
                      "Replace existing outputs, and keep a raw side that does not decode "
                      "cleanly as decoded.");
    convert->add_flag("--strict", options.strict, "Fail a file on any warning, writing nothing.");
    convert->add_option("FILE", files, "Files to convert.")->required();
    convert->footer(ConversionsText());

    std::string joined;
    bool keep = false;
    CLI::App* join =
        app.add_subcommand("join", "Join FDS sides into one FDS image with the header.");
    join->add_option("-o", joined, "The image to write.")->required()->check(NamedOutput());
    join->add_flag("--force", keep,
                   "Keep a side that does not decode cleanly, and replace an existing image.");
    join->add_option("SIDE", files, "Raw FDS sides or one-side FDS images, in order.")->required();

    RecoverOptions rescue;
    CLI::App* recover = app.add_subcommand(
        "recover", "Rescue one side from one damaged read of it or several: every intact block.");
    recover->add_option("-o", rescue.output, "Name of the rescued side.")->check(NamedOutput());
    recover->add_option("-C", rescue.folder, "Folder for the outputs (default: the current one).")
        ->check(ExistingFolder());
    recover
        ->add_option("--to", rescue.to, "fds for an FDS side; mzt (default) or qdf for a QD side.")
        ->check(CLI::IsMember({"fds", "mzt", "qdf"}));
    recover->add_option("--side-of", rescue.sideof,
                        "Rescue the side that READ holds; reads of other sides are left out.");
    recover->add_flag("--json", rescue.json, "Write one JSON document of the rescue.");
    recover->add_option("--map", rescue.map, "Draw the side, each read and the result, as SVG.")
        ->check(NamedOutput());
    recover->add_flag("--strict", rescue.strict, "Write nothing unless the whole side is rescued.");
    recover->add_flag("--force", rescue.force, "Replace existing outputs.");
    recover->add_option("READ", files, "Raw reads (or dumper captures) of one side.")->required();
    recover->footer(
        "Statuses: good (a copy passes its CRC), voted (the majority of three or more copies\n"
        "does), inferred (its end found by its CRC), bad, missing, conflict (good copies\n"
        "differ). Exit status 0 only when the side is complete: every block it announces\n"
        "and every block found, once each and in their order, good or voted.\n");

    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({}))
            known = known || command->get_name() == argv[1];
        if (!known) return UsageError(std::string("unknown command ") + argv[1]);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what());
    }
    if (info->parsed()) return RunInfo(files, json);
    if (verify->parsed()) return RunVerify(files);
    if (join->parsed()) return RunJoin(files, joined, keep);
    if (recover->parsed()) return RunRecover(files, rescue);
    if (convert->parsed()) {
        if (!options.output.empty() && files.size() > 1) {
            PutUtf8(true, "qdkit: error: -o names one output, but " + std::to_string(files.size()) +
                              " files are given\n");
            return kUsageStatus;
        }
        if (!to.empty()) options.to = KindNamed(to);
        return RunConvert(files, options);
    }
    return kUsageStatus;
}
