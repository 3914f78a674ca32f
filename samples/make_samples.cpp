// Writes the kit's sample inputs into a folder: an FDS image with one side
// and an MZT file with a few records, all made here from fixed patterns;
// and five reads of the FDS image's side from a worn disk, each damaged on
// its own, for the rescue.
#include <cstdio>
#include <random>
#include <string>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/wholefile.h"
#include "fds/fds_layout.h"
#include "fds/side_encoder.h"
#include "samples/faults.h"
#include "samples/imagegen.h"

namespace {

// What a worn side gives each time it is read: flipped cells, two bursts
// of noise, a slipped cell, and a start a little late or early.
std::vector<ByteVector> WornReads(const ByteVector& fds) {
    ByteVector stream;
    Crc16 crc(kFdsWriterCrc);
    BitWriter writer;
    EncodeFdsSide(fds, kFdsHeaderBytes, stream, crc, writer);
    const ByteVector& raw = writer.bitstreambuffer;
    const std::size_t cells = raw.size() * 8;
    std::mt19937 rng(2026);
    std::vector<ByteVector> reads;
    for (int n = 0; n < 5; ++n) {
        std::vector<Fault> faults;
        for (std::size_t cell = rng() % 4000; cell < cells; cell += 1 + rng() % 8000)
            faults.push_back({Fault::kFlip, cell});
        for (int burst = 0; burst < 2; ++burst)
            faults.push_back({Fault::kBurst, rng() % cells, 32 + rng() % 96});
        faults.push_back({Fault::kSlip, rng() % cells});
        faults.push_back({n % 2 ? Fault::kLateStart : Fault::kNoiseBefore, 0, rng() % 20000});
        reads.push_back(Damage(raw, faults, rng).raw);
    }
    return reads;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";

    const ByteVector fds = SampleFdsImage();
    const ByteVector mzt = SampleMzt();
    bool saved = SaveFile((folder + "/sample.fds").c_str(), fds) &&
                 SaveFile((folder + "/sample.mzt").c_str(), mzt);
    std::printf("%s/sample.fds\n%s/sample.mzt\n", folder.c_str(), folder.c_str());
    const std::vector<ByteVector> reads = WornReads(fds);
    for (std::size_t n = 0; n < reads.size(); ++n) {
        const std::string name = folder + "/worn-" + std::to_string(n + 1) + ".raw";
        saved = saved && SaveFile(name.c_str(), reads[n]);
        std::printf("%s\n", name.c_str());
    }
    if (!saved) {
        std::fprintf(stderr, "cannot write the samples into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
