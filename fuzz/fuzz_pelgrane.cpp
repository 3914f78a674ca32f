// Pelgrane's walk and all three outputs on any raw side.
#include <cstdint>
#include <vector>

#include "common/crc16.h"
#include "qd/qd_image.h"
#include "qd/side_decoder.h"
#include "qddecode/side_outputs.h"

namespace {

struct Files : QdOutputFiles {
    void BlockCount(int) override {}
    bool Information(const QdInfoRecord&, int) override { return true; }
    bool DataDumpDone(const std::vector<std::uint8_t>&) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> raw(data, data + size);
    QdOptions options;
    options.image = options.split = options.mzt = true;
    Files files;
    QdSideOutputs outputs(options, files);
    Crc16 crc(kQdCheckerCrc);
    const QdDecodeResult result = DecodeQdSide(raw, crc, outputs);
    if (result.outcome == QdDecodeOutcome::kOutputFailed) __builtin_trap();
    const bool normal = result.outcome == QdDecodeOutcome::kNormalEnd;
    if (!outputs.Finish(normal)) __builtin_trap();
    if (normal && outputs.image().size() < static_cast<std::size_t>(kQdImageBytes))
        __builtin_trap();
    return 0;
}
