// qdkit: reads, checks and converts every kind of file the kit knows.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "qdkit/commands.h"

namespace {

constexpr int kUsageStatus = 2;

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Reads, checks and converts FDS and QD disk images, raw sides and MZT files.",
                 "qdkit"};
    app.set_version_flag("--version", std::string("qdkit ") + KIT_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Kinds: fds, fds-raw, qd-raw, qdf, mzt, told apart by content.\n"
        "Exit status: 0 success, 1 a file failed, 2 a wrong command line.\n");

    std::vector<std::string> files;
    bool json = false;
    CLI::App* info = app.add_subcommand("info", "Show each file's kind and what it holds.");
    info->add_flag("--json", json, "Write one JSON document: an array, one object per file.");
    info->add_option("FILE", files, "Files to read.")->required();

    CLI::App* verify =
        app.add_subcommand("verify", "Check that each file survives the trip through a side.");
    verify->add_option("FILE", files, "Files to check.")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "qdkit: error: %s\nRun 'qdkit --help' for more information.\n",
                     e.what());
        return kUsageStatus;
    }
    if (info->parsed()) return RunInfo(files, json);
    if (verify->parsed()) return RunVerify(files);
    return kUsageStatus;
}
