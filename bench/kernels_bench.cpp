// The kernels on one full QD side (81920 side-stream bytes); every figure
// is in bytes of side stream per second.
#include <benchmark/benchmark.h>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "fds/fds_layout.h"
#include "qd/qd_layout.h"
#include "samples/imagegen.h"

namespace {

constexpr std::size_t kSideBytes = 81920;

const ByteVector& SideStream() {
    static const ByteVector side = Pattern(kSideBytes, 7);
    return side;
}

const ByteVector& RawSide() {
    static const ByteVector raw = [] {
        BitWriter writer;
        EncodeSide(writer, SideStream().data(), SideStream().size());
        return writer.bitstreambuffer;
    }();
    return raw;
}

void PerSide(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSideBytes));
}

void MfmEncode(benchmark::State& state) {
    BitWriter writer;
    for (auto _ : state) {
        EncodeSide(writer, SideStream().data(), SideStream().size());
        benchmark::DoNotOptimize(writer.bitstreambuffer.data());
    }
    PerSide(state);
}
BENCHMARK(MfmEncode);

void MfmDecode(benchmark::State& state) {
    ByteVector out(kSideBytes);
    for (auto _ : state) {
        BitReader reader(RawSide());
        std::size_t n = 0;
        for (std::int32_t b; (b = reader.ReadByte()) >= 0;) out[n++] = static_cast<std::uint8_t>(b);
        benchmark::DoNotOptimize(out.data());
    }
    PerSide(state);
}
BENCHMARK(MfmDecode);

void MfmDecodeBulk(benchmark::State& state) {
    ByteVector out(kSideBytes);
    for (auto _ : state) {
        BitReader reader(RawSide());
        benchmark::DoNotOptimize(reader.ReadBytes(out.data(), out.size()));
    }
    PerSide(state);
}
BENCHMARK(MfmDecodeBulk);

// A side of gap, one cell out of step, searched to its end.
const ByteVector& RawGap() {
    static const ByteVector raw(2 * kSideBytes, 0x55);
    return raw;
}

void GapSkip(benchmark::State& state) {
    for (auto _ : state) {
        BitReader reader(RawGap());
        reader.ReadBits(1);
        benchmark::DoNotOptimize(reader.SkipGroups(0xAA, 2 * kSideBytes));
    }
    PerSide(state);
}
BENCHMARK(GapSkip);

void MarkSearch(benchmark::State& state) {
    for (auto _ : state) {
        BitReader reader(RawGap());
        benchmark::DoNotOptimize(reader.FindPair(2));
    }
    PerSide(state);
}
BENCHMARK(MarkSearch);

void CrcBytewise(benchmark::State& state, const CrcVariant& variant) {
    Crc16 crc(variant);
    for (auto _ : state) {
        std::uint16_t value = 0;
        for (std::uint8_t b : SideStream()) value = crc.CRC_check(b, false);
        benchmark::DoNotOptimize(value);
    }
    PerSide(state);
}
BENCHMARK_CAPTURE(CrcBytewise, FdsWriter, kFdsWriterCrc);
BENCHMARK_CAPTURE(CrcBytewise, FdsChecker, kFdsCheckerCrc);
BENCHMARK_CAPTURE(CrcBytewise, QdWriter, kQdWriterCrc);
BENCHMARK_CAPTURE(CrcBytewise, QdChecker, kQdCheckerCrc);

void CrcBulk(benchmark::State& state, const CrcVariant& variant) {
    Crc16 crc(variant);
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc.Update(SideStream().data(), SideStream().size(), true));
    }
    PerSide(state);
}
BENCHMARK_CAPTURE(CrcBulk, FdsWriter, kFdsWriterCrc);
BENCHMARK_CAPTURE(CrcBulk, FdsChecker, kFdsCheckerCrc);
BENCHMARK_CAPTURE(CrcBulk, QdWriter, kQdWriterCrc);
BENCHMARK_CAPTURE(CrcBulk, QdChecker, kQdCheckerCrc);

}  // namespace
