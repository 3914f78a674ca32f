// The command lines of extract and pack.
#include <CLI/CLI.hpp>
#include <algorithm>

#include "common/interrupt.h"
#include "qdkit/cli.h"
#include "qdkit/detect.h"
#include "qdkit/files.h"

namespace {

std::vector<std::string> AllKinds() {
    std::vector<std::string> names;
    for (const FileKind* kind : Kinds()) names.push_back(kind->name());
    return names;
}

}  // namespace

void ExtractOptionsOf(CLI::App* extract, CommandLine& line) {
    ExtractOptions& options = line.extract;
    extract
        ->add_option("-C", options.folder,
                     "Folder for the outputs' folders, made when missing (default: the "
                     "current one).")
        ->option_text("DIR");
    extract->add_flag("--force", options.force, "Write over the files of an existing folder.");
    extract->add_flag("-n,--no-clobber", options.noclobber,
                      "Keep an existing folder as it is, to resume a batch.");
    extract->add_flag("--json", line.batch.json,
                      "Write one JSON document: an array, one object per file extracted.");
    extract->add_flag("-r,--recursive", line.batch.recursive,
                      "Read the files in folders, and in the folders in them; files of no "
                      "known kind there are skipped.");
    extract->add_flag("-q,--quiet", line.quiet, "Print errors only.");
    extract->add_option("FILE", line.files, "Images, raw sides or MZT files to take apart.")
        ->option_text("...")
        ->required();
    extract->footer(
        "Each FILE gives a folder named after it (BASE): FDS: one file per file of every side,\n"
        "A-00-NAME.bin, hidden files too; QD and MZT: one NN-NAME.mzf per record; and\n"
        "manifest.json, which holds everything else. qdkit pack builds the image again.\n");
}

void PackOptionsOf(CLI::App* pack, CommandLine& line) {
    PackOptions& options = line.pack;
    pack->add_option("-o", options.output, "The image to write (required; - the standard output).")
        ->option_text("OUT")
        ->required()
        ->check(CLI::Validator(
            [](std::string& name) { return name.empty() ? std::string("an empty name") : ""; },
            ""));
    pack->add_option("--to", line.to, "The kind to write (default: the manifest's).")
        ->option_text("KIND")
        ->check(CLI::IsMember(AllKinds()));
    pack->add_flag("--force", options.force, "Replace an existing image.");
    pack->add_flag("--json", options.json, "Write one JSON document of the result.");
    pack->add_flag("-q,--quiet", line.quiet, "Print errors only.");
    pack->add_option("DIR", options.folder, "A folder that qdkit extract wrote, perhaps edited.")
        ->option_text(" ")
        ->required();
}

int RunExtractLine(CommandLine& line) {
    ExtractOptions& options = line.extract;
    options.batch = line.batch;
    std::string error;
    if (options.force && options.noclobber)
        error = "--force writes over a folder's files, --no-clobber keeps them: give one";
    if (std::find(line.files.begin(), line.files.end(), kStandardStream) != line.files.end())
        error = "- (the standard input) gives no name to its folder: save it to a file first";
    if (!error.empty()) return UsageError(error, "extract");
    WatchInterrupts();
    return RunExtract(line.files, options);
}

int RunPackLine(CommandLine& line) {
    PackOptions& options = line.pack;
    if (!line.to.empty()) options.to = KindNamed(line.to);
    if (line.files.size() > 1)
        return UsageError(
            "pack takes one folder, " + std::to_string(line.files.size()) + " are given", "pack");
    if (options.output == kStandardStream && options.json)
        return UsageError("-o - and --json both write to the standard output: give one", "pack");
    if (options.output == kStandardStream) TakeStandardOutput();
    WatchInterrupts();
    return RunPack(options.folder, options);
}
