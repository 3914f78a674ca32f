// Pelgrane's walk and all three outputs on any raw side, writing into a
// private temporary folder.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/crc16.h"
#include "qddecode/outputs.h"
#include "qddecode/walk.h"

namespace {

std::string g_folder;
std::string g_base;

void RemoveFolder() {
    std::error_code error;
    std::filesystem::remove_all(g_folder, error);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/kit-fuzz-pelgrane-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    g_folder = folder;
    g_base = g_folder + "/side";
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> raw(data, data + size);
    std::string out, err;
    Console console(&out, &err);
    QdOptions options;
    options.image = options.split = options.mzt = true;
    QdOutputs outputs(console, options, g_base);
    if (!outputs.Open()) std::abort();
    QdReader qd(raw);
    Crc16 crc(kQdCheckerCrc);
    const QdWalkResult result = WalkQdSide(qd, crc, console, outputs);
    if (result.outcome == QdWalkOutcome::kOutputFailed) std::abort();
    if (result.outcome == QdWalkOutcome::kNormalEnd && !outputs.Finish()) std::abort();
    if (!outputs.Close()) std::abort();
    return 0;
}
