// Each program's whole conversion in memory, from the loaded input to the
// bytes it would write, on full sides; figures in bytes of side stream.
#include <benchmark/benchmark.h>

#include "bench/bench_inputs.h"
#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "fds/side_decoder.h"
#include "fds/side_encoder.h"
#include "fds/side_rescue.h"
#include "qd/qd_image.h"
#include "qd/side_decoder.h"
#include "qd/side_encoder.h"
#include "qd/side_rescue.h"
#include "qddecode/side_outputs.h"

namespace {

const ByteVector& FdsInput() {
    static const ByteVector image = FullFdsImage();
    return image;
}

const ByteVector& MztInput() {
    static const ByteVector file = FullMztFile();
    return file;
}

const ByteVector& FdsRawSide() {
    static const ByteVector raw = [] {
        BitWriter writer;
        ByteVector stream;
        Crc16 crc(kFdsWriterCrc);
        EncodeFdsSide(FdsInput(), FdsSideOffset(0), stream, crc, writer);
        return writer.bitstreambuffer;
    }();
    return raw;
}

const ByteVector& QdRawSide() {
    static const ByteVector raw = [] {
        BitWriter writer;
        Crc16 crc(kQdWriterCrc);
        EncodeQdSide(MztInput(), crc, writer);
        return writer.bitstreambuffer;
    }();
    return raw;
}

const ByteVector& QdImageInput() {
    static const ByteVector image = ReadQdSide(QdRawSide(), QdReadFiles::kImage).image;
    return image;
}

void PerSide(benchmark::State& state, std::size_t sidebytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sidebytes));
}

void Talvret(benchmark::State& state) {
    for (auto _ : state) {
        BitWriter writer;
        ByteVector stream;
        Crc16 crc(kFdsWriterCrc);
        for (int side = 0; side < 2; ++side) {
            EncodeFdsSide(FdsInput(), FdsSideOffset(side), stream, crc, writer);
            benchmark::DoNotOptimize(writer.bitstreambuffer.data());
        }
    }
    PerSide(state, 2 * kFdsSideStreamBytes);
}
BENCHMARK(Talvret);

void Omblisk(benchmark::State& state) {
    FdsDecodeEvents events;
    for (auto _ : state) {
        Crc16 crc(kFdsCheckerCrc);
        benchmark::DoNotOptimize(DecodeFdsSide(FdsRawSide(), crc, events));
    }
    PerSide(state, kFdsSideStreamBytes);
}
BENCHMARK(Omblisk);

// Listing alone (false), or every output (true): -d -m -s.
void Pelgrane(benchmark::State& state, bool outputs) {
    struct Files : QdOutputFiles {
        void BlockCount(int) override {}
        bool Information(const QdInfoRecord&, int) override { return true; }
        bool DataDumpDone(const std::vector<std::uint8_t>& bytes) override {
            benchmark::DoNotOptimize(bytes.data());
            return true;
        }
    } files;
    QdOptions options;
    options.image = options.mzt = options.split = outputs;
    for (auto _ : state) {
        Crc16 crc(kQdCheckerCrc);
        QdSideOutputs sink(options, files);
        benchmark::DoNotOptimize(DecodeQdSide(QdRawSide(), crc, sink));
        sink.Finish(true);
    }
    PerSide(state, kQdSideStreamBytes);
}
BENCHMARK_CAPTURE(Pelgrane, Listing, false);
BENCHMARK_CAPTURE(Pelgrane, AllOutputs, true);

void Surbeck(benchmark::State& state) {
    for (auto _ : state) {
        BitWriter writer;
        Crc16 crc(kQdWriterCrc);
        benchmark::DoNotOptimize(EncodeQdSide(MztInput(), crc, writer));
    }
    PerSide(state, kQdSideStreamBytes);
}
BENCHMARK(Surbeck);

void Wenmark(benchmark::State& state) {
    for (auto _ : state) {
        BitWriter writer;
        EncodeQdImage(writer, QdImageInput());
        benchmark::DoNotOptimize(writer.bitstreambuffer.data());
    }
    PerSide(state, kQdSideStreamBytes);
}
BENCHMARK(Wenmark);

// The tolerant reader and the rescue of a side from one read or from five
// (copies of the same clean read, each one cell later than the one before,
// as reads of one disk begin at other cells).
void Rescue(benchmark::State& state, bool fds) {
    const int reads = static_cast<int>(state.range(0));
    std::vector<ByteVector> copies;
    for (int r = 0; r < reads; ++r) {
        ByteVector raw = fds ? FdsRawSide() : QdRawSide();
        raw.insert(raw.begin(), static_cast<std::size_t>(r), 0x55);  // r gap bytes, four cells each
        copies.push_back(std::move(raw));
    }
    std::vector<const ByteVector*> pointers;
    for (const ByteVector& copy : copies) pointers.push_back(&copy);
    for (auto _ : state) {
        const SideRescue rescue = fds ? RescueFdsSide(pointers) : RescueQdSide(pointers);
        benchmark::DoNotOptimize(rescue.complete);
    }
    PerSide(state,
            (fds ? kFdsSideStreamBytes : kQdSideStreamBytes) * static_cast<std::size_t>(reads));
}
BENCHMARK_CAPTURE(Rescue, Fds, true)->Arg(1)->Arg(5);
BENCHMARK_CAPTURE(Rescue, Qd, false)->Arg(1)->Arg(5);

}  // namespace
