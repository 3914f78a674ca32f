// The fast kernels against the cell-by-cell reference: random inputs, every
// bit offset, state carried from call to call, and the end of the data.
#include <gtest/gtest.h>

#include <random>

#include "common/bitstream.h"
#include "common/crc16.h"
#include "common/dataplanes.h"
#include "fds/fds_layout.h"
#include "fds/side_decoder.h"
#include "qd/side_decoder.h"
#include "qddecode/side_outputs.h"
#include "tests/reference_kernels.h"
#include "tests/support.h"

namespace {

Bytes RandomBytes(std::mt19937& rng, std::size_t length) {
    Bytes bytes(length);
    // Runs of 0x00 and 0xFF as well as noise, so both previous-bit cases occur.
    const int kind = static_cast<int>(rng() % 3);
    for (std::uint8_t& b : bytes) {
        b = kind == 0 ? static_cast<std::uint8_t>(rng()) : (rng() % 4 ? 0x00 : 0xFF);
        if (kind == 2 && rng() % 3 == 0) b = static_cast<std::uint8_t>(rng());
    }
    return bytes;
}

::testing::AssertionResult SameWriter(const reference::BitWriter& want, const BitWriter& got) {
    if (want.bitstreambuffer != got.bitstreambuffer)
        return SameBytes(want.bitstreambuffer, got.bitstreambuffer);
    if (want.bitstreamshift != got.bitstreamshift || want.bitstreamdata != got.bitstreamdata ||
        want.xorbits != got.xorbits) {
        return ::testing::AssertionFailure()
               << "state " << int(got.bitstreamshift) << "/" << int(got.bitstreamdata) << "/"
               << got.xorbits << ", want " << int(want.bitstreamshift) << "/"
               << int(want.bitstreamdata) << "/" << want.xorbits;
    }
    return ::testing::AssertionSuccess();
}

TEST(FastKernels, EncoderMatchesReferenceAcrossCalls) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 400; ++trial) {
        BitWriter fast;  // both start in the 0x5555 state
        reference::BitWriter slow;
        for (int op = 0; op < 10; ++op) {
            switch (rng() % 5) {
                case 0: {
                    const auto byte = static_cast<std::uint8_t>(rng());
                    fast.MFM_encoder(byte);
                    slow.MFM_encoder(byte);
                    break;
                }
                case 1: {  // a stray cell puts later bytes out of step
                    const auto cell = static_cast<std::uint8_t>(rng() % 3);
                    fast.WriteBits(cell);
                    slow.WriteBits(cell);
                    break;
                }
                case 2: {
                    const Bytes side = RandomBytes(rng, rng() % 40);
                    EncodeSide(fast, side.data(), side.size());
                    reference::EncodeSide(slow, side.data(), side.size());
                    break;
                }
                case 3:
                    fast.FlushBits();
                    slow.FlushBits();
                    break;
                default:  // the next output file
                    fast.bitstreambuffer.clear();
                    slow.bitstreambuffer.clear();
            }
            ASSERT_TRUE(SameWriter(slow, fast)) << "trial " << trial << " op " << op;
        }
    }
}

// The comparison made a stretch at a time against the whole encoding: cells
// flipped at either end and across a stretch's seam, raw sides cut short or
// running on.
TEST(FastKernels, StretchedComparisonMatchesTheWholeEncoding) {
    std::mt19937 rng(19);
    for (const std::size_t length : {0, 1, 4095, 4096, 4097, 9000}) {
        const Bytes stream = RandomBytes(rng, length);
        BitWriter writer;
        EncodeSide(writer, stream.data(), stream.size());
        const Bytes cells = writer.bitstreambuffer;
        std::vector<Bytes> raws{cells, Bytes(cells.begin(), cells.begin() + cells.size() / 2),
                                cells, cells};
        raws[2].push_back(0x55);
        for (const std::size_t byte : {std::size_t{0}, cells.size() - 1, std::size_t{8191},
                                       std::size_t{8192}, cells.size() / 3}) {
            if (byte >= cells.size()) continue;
            raws.push_back(cells);
            raws.back()[byte] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        }
        for (std::size_t n = 0; n < raws.size(); ++n) {
            EXPECT_EQ(FirstCellOffEncoding(raws[n], stream), FirstDifferentCell(raws[n], cells))
                << length << " bytes, raw " << n;
        }
    }
}

TEST(FastKernels, ReaderMatchesReferenceFromEveryCell) {
    std::mt19937 rng(12);
    for (std::size_t length = 0; length < 48; ++length) {
        const Bytes raw = RandomBytes(rng, length);
        for (std::uint32_t start = 0; start <= 8 * length + 1; ++start) {
            BitReader fast(raw);
            reference::BitReader slow(raw);
            fast.Seek(start / 8);
            slow.Seek(start / 8);
            fast.ReadBits(static_cast<std::int32_t>(start % 8));
            slow.ReadBits(static_cast<std::int32_t>(start % 8));
            // Until both have reported the end twice.
            for (int ends = 0, op = 0; ends < 2; ++op) {
                const bool byte = rng() % 2 == 0;
                const auto n = static_cast<std::int32_t>(rng() % 27) - 1;
                const std::int32_t want = byte ? slow.ReadByte() : slow.ReadBits(n);
                const std::int32_t got = byte ? fast.ReadByte() : fast.ReadBits(n);
                ASSERT_EQ(want, got) << "length " << length << " start " << start << " op " << op
                                     << (byte ? " byte" : " bits ") << n;
                ASSERT_EQ(slow.bitstreampos, fast.bitstreampos);
                ASSERT_EQ(slow.bitstreammask, fast.bitstreammask);
                if (want < 0) ++ends;
            }
        }
    }
}

// Raw gap (0x55 in step) broken now and then, with a random tail.
Bytes RawGap(std::mt19937& rng, std::size_t length) {
    Bytes raw(length, 0x55);
    for (std::uint8_t& b : raw) {
        if (rng() % 23 == 0) b = static_cast<std::uint8_t>(rng());
    }
    return raw;
}

// Readers over the same data from the same cell.
struct ReaderPair {
    ReaderPair(const Bytes& raw, std::uint32_t cell) : fast(raw), slow(raw) {
        fast.Seek(cell / 8);
        slow.Seek(cell / 8);
        fast.ReadBits(static_cast<std::int32_t>(cell % 8));
        slow.ReadBits(static_cast<std::int32_t>(cell % 8));
    }
    ::testing::AssertionResult Same() const {
        if (fast.bitstreampos == slow.bitstreampos && fast.bitstreammask == slow.bitstreammask)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "at " << fast.bitstreampos << "/" << int(fast.bitstreammask) << ", want "
               << slow.bitstreampos << "/" << int(slow.bitstreammask);
    }
    BitReader fast;
    reference::BitReader slow;
};

TEST(FastKernels, BulkReadsMatchReadBytesOneByOne) {
    std::mt19937 rng(14);
    for (std::size_t length = 0; length < 40; ++length) {
        const Bytes raw = RandomBytes(rng, length);
        for (std::uint32_t cell = 0; cell <= 8 * length; ++cell) {
            ReaderPair readers(raw, cell);
            const std::size_t count = rng() % (length + 2);
            Bytes want;
            for (std::int32_t b; want.size() < count && (b = readers.slow.ReadByte()) >= 0;)
                want.push_back(static_cast<std::uint8_t>(b));
            Bytes got(count + 1, 0xEE);
            got.resize(readers.fast.ReadBytes(got.data(), count));
            ASSERT_EQ(want, got) << "length " << length << " cell " << cell;
            ASSERT_TRUE(readers.Same());
            BitReader skipper(raw);
            skipper.Seek(cell / 8);
            skipper.ReadBits(static_cast<std::int32_t>(cell % 8));
            ASSERT_EQ(want.size(), skipper.SkipBytes(count));
            ASSERT_EQ(readers.fast.bitstreampos, skipper.bitstreampos);
            ASSERT_EQ(readers.fast.bitstreammask, skipper.bitstreammask);
        }
    }
}

TEST(FastKernels, GroupSkipMatchesReadingGroupByGroup) {
    std::mt19937 rng(15);
    for (int trial = 0; trial < 400; ++trial) {
        const Bytes raw = RawGap(rng, rng() % 120);
        const auto cell = static_cast<std::uint32_t>(rng() % (8 * raw.size() + 1));
        const std::uint8_t group = rng() % 4 ? 0x55 : 0xAA;
        const std::uint32_t most = rng() % 2 ? 1000 : rng() % 30;
        ReaderPair readers(raw, cell);
        const std::uint32_t skipped = readers.fast.SkipGroups(group, most);
        ASSERT_LE(skipped, most);
        for (std::uint32_t n = 0; n < skipped; ++n) ASSERT_EQ(group, readers.slow.ReadBits(8));
        ASSERT_TRUE(readers.Same()) << "trial " << trial;
        // It stops early only at a different group or near the end.
        if (skipped < most && readers.fast.bitstreampos + 8 < raw.size())
            ASSERT_NE(group, readers.slow.ReadBits(8)) << "trial " << trial;
    }
}

TEST(FastKernels, PairSearchMatchesReadingPairByPair) {
    std::mt19937 rng(16);
    for (int trial = 0; trial < 2000; ++trial) {
        Bytes raw = RawGap(rng, rng() % 60);
        if (trial % 2 == 0) raw = RandomBytes(rng, rng() % 12);
        const auto cell = static_cast<std::uint32_t>(rng() % (8 * raw.size() + 2));
        const auto pair = static_cast<std::int32_t>(rng() % 4);
        ReaderPair readers(raw, cell);
        std::int32_t want = -1;
        for (std::int32_t cells; (cells = readers.slow.ReadBits(2)) >= 0;) {
            if (cells == pair) {
                want = 1;
                break;
            }
        }
        ASSERT_EQ(want, readers.fast.FindPair(pair)) << "trial " << trial;
        ASSERT_TRUE(readers.Same()) << "trial " << trial;
    }
}

// Gaps long and short, in and out of step, broken or cut by the end.
TEST(FastKernels, GapSearchesMatchTheCellByCellOnes) {
    std::mt19937 rng(17);
    for (int trial = 0; trial < 3000; ++trial) {
        Bytes raw;
        while (raw.size() < 700 && rng() % 4 != 0) {
            raw.insert(raw.end(), rng() % (trial % 2 ? 300 : 40), 0x55);
            const Bytes noise = RandomBytes(rng, rng() % 4);
            raw.insert(raw.end(), noise.begin(), noise.end());
        }
        const auto cell = static_cast<std::uint32_t>(rng() % (8 * raw.size() + 2));
        ReaderPair fds(raw, cell);
        FdsReader sync(raw);
        sync.reader = fds.fast;
        ASSERT_EQ(reference::FdsSearchSync(fds.slow), sync.SearchSync()) << "trial " << trial;
        fds.fast = sync.reader;
        ASSERT_TRUE(fds.Same()) << "FDS, trial " << trial;
        ReaderPair qd(raw, cell);
        QdReader reader(raw);
        reader.reader = qd.fast;
        ASSERT_EQ(reference::QdSearchGap(qd.slow), reader.SearchGap()) << "trial " << trial;
        qd.fast = reader.reader;
        ASSERT_TRUE(qd.Same()) << "QD, trial " << trial;
    }
}

// Pelgrane's outputs given a body in runs or byte by byte, a text file's dump
// ending (and failing to be written) anywhere.
TEST(FastKernels, OutputsTakeRunsAsTheyTakeBytes) {
    struct Dumps : QdOutputFiles {
        explicit Dumps(bool failing) : fail(failing) {}
        void BlockCount(int) override {}
        bool Information(const QdInfoRecord&, int) override { return true; }
        bool DataDumpDone(const std::vector<std::uint8_t>& bytes) override {
            written.push_back(bytes);
            return !fail;
        }
        bool fail;
        std::vector<Bytes> written;
    };
    std::mt19937 rng(18);
    for (int trial = 0; trial < 500; ++trial) {
        QdOptions options;
        options.mzt = options.split = options.image = true;
        QdInfoRecord record{};
        record[kQdInfoAttribute] = rng() % 2 ? kQdTextAttribute : 1;
        Bytes body = RandomBytes(rng, rng() % 12);
        if (!body.empty() && rng() % 2) body[rng() % body.size()] = 0x1A;
        const int offset = static_cast<int>(rng() % 4);
        Dumps runfiles(rng() % 2 == 0), bytefiles(runfiles.fail);
        QdSideOutputs runs(options, runfiles), bytes(options, bytefiles);
        runs.Information(record, 0);
        bytes.Information(record, 0);
        std::size_t want = 0;
        while (want < body.size() && bytes.DataByte(body[want], offset + int(want))) ++want;
        std::size_t got = 0;
        while (got < body.size()) {
            const std::size_t n = 1 + rng() % (body.size() - got);
            const std::size_t taken = runs.DataBytes(body.data() + got, n, offset + int(got));
            got += taken;
            if (taken < n) break;
        }
        runs.ImageRun(0, 3);
        bytes.ImageByte(0), bytes.ImageByte(0), bytes.ImageByte(0);
        runs.ImageBytes(body.data(), body.size());
        for (std::uint8_t b : body) bytes.ImageByte(b);
        ASSERT_EQ(want, got) << "trial " << trial;
        ASSERT_EQ(bytes.mzt(), runs.mzt()) << "trial " << trial;
        ASSERT_EQ(bytes.image(), runs.image()) << "trial " << trial;
        ASSERT_EQ(bytes.Finish(true), runs.Finish(true));
        ASSERT_EQ(bytefiles.written, runfiles.written) << "trial " << trial;
    }
}

TEST(FastKernels, CrcMatchesReferenceForEveryVariant) {
    std::mt19937 rng(13);
    const CrcVariant variants[] = {kFdsWriterCrc,
                                   kFdsCheckerCrc,
                                   kQdWriterCrc,
                                   kQdCheckerCrc,
                                   MakeCrcVariant(true, 0x1234, 0x4321),
                                   MakeCrcVariant(false, 0x8BB7, 0xFFFF)};
    for (const CrcVariant& variant : variants) {
        SCOPED_TRACE(testing::Message() << "polynomial " << variant.rule.polynomial);
        for (int i = 0; i < 4096; ++i) {
            const auto reg = static_cast<std::uint16_t>(rng());
            const auto data = static_cast<std::uint8_t>(rng());
            ASSERT_EQ(reference::CrcStep(variant, reg, data), CrcStep(variant.rule, reg, data));
        }
        Crc16 bytewise(variant);
        Crc16 bulk(variant);
        Crc16 words(variant);
        std::uint16_t reg = 0;
        for (int block = 0; block < 50; ++block) {
            const Bytes bytes = RandomBytes(rng, rng() % 300);
            const bool reset = rng() % 2 == 0 && !bytes.empty();
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (reset && i == 0) reg = variant.reset;
                reg = reference::CrcStep(variant, reg, bytes[i]);
                ASSERT_EQ(reg, bytewise.CRC_check(bytes[i], reset && i == 0));
            }
            ASSERT_EQ(reg, bulk.Update(bytes.data(), bytes.size(), reset));
            ASSERT_EQ(reg, bulk.crc);
            // Whole words, then the bytes left.
            const auto word = [&](std::size_t i) { return Le64(bytes.data() + 8 * i); };
            const std::size_t whole = bytes.size() / 8;
            words.UpdateEights(word, whole, reset);
            ASSERT_EQ(reg, words.Update(bytes.data() + 8 * whole, bytes.size() % 8, false));
        }
    }
}

}  // namespace

namespace {

// Data bit k of phase p is cell 2k+p+1, whatever the read's length; the
// bulk reads give what the cells say.
TEST(FastKernels, DataPlanesHoldEveryPairsDataCell) {
    std::mt19937 rng(12);
    for (std::size_t length : {0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 24, 25, 33, 64, 1001}) {
        const Bytes raw = RandomBytes(rng, length);
        const DataPlanes planes(raw);
        for (int phase = 0; phase < 2; ++phase) {
            const std::size_t pairs = length * 8 >= 1u + phase ? (length * 8 - phase) / 2 : 0;
            ASSERT_EQ(pairs, planes.bits(phase)) << length;
            for (std::size_t k = 0; k < pairs + 16; ++k) {
                const std::size_t cell = 2 * k + phase + 1;
                const int want = cell < length * 8 ? (raw[cell / 8] >> (cell % 8)) & 1 : 0;
                ASSERT_EQ(want, (planes.plane(phase)[k / 8] >> (k % 8)) & 1)
                    << length << " phase " << phase << " bit " << k;
            }
            const auto cell = [&](std::size_t c) {
                return c < length * 8 ? (raw[c / 8] >> (c % 8)) & 1 : 0;
            };
            for (int trial = 0; trial < 40 && pairs > 1; ++trial) {
                const std::size_t bit = 1 + rng() % (pairs - 1), n = rng() % 12;
                Bytes bytes(n);
                planes.Bytes(phase, bit, bytes.data(), n);
                int errors = 0;
                for (std::size_t i = 0; i < 8 * n; ++i) {
                    const std::size_t data = 2 * (bit + i) + phase + 1;
                    ASSERT_EQ(cell(data), (bytes[i / 8] >> (i % 8)) & 1) << length << " " << bit;
                    errors += cell(data - 1) != (cell(data) == 0 && cell(data - 2) == 0);
                }
                ASSERT_EQ(errors, planes.ClockErrors(phase, bit, n)) << length << " " << bit;
            }
        }
    }
}

}  // namespace

// Zero bits as MFM writes them (a flux cell before each), read one cell
// late over every other 48 cells of `from` to `to`: such a stretch breaks the
// clock rule only where it goes out of step and back, a few times a word.
TEST(DataPlanes, AStretchReadOutOfStepIsDamage) {
    const auto read = [](std::size_t from, std::size_t to, bool flipped) {
        std::vector<std::uint8_t> cells;
        for (std::size_t cell = 0; cell < 8 * 4096 * 2; ++cell) {
            const bool late = cell >= from && cell < to && (cell / 48) % 2 == 1;
            cells.push_back((cell + (late ? 1 : 0)) % 2 == 0 ? 1 : 0);
        }
        if (flipped) cells[40001] ^= 1;  // one clock cell, far from the rest
        std::vector<std::uint8_t> raw(cells.size() / 8, 0);
        for (std::size_t cell = 0; cell < cells.size(); ++cell)
            raw[cell / 8] |= static_cast<std::uint8_t>(cells[cell] << (cell % 8));
        // Phase 1: a zero data bit's clock is its pair's first cell, 2k + 1.
        return DataPlanes(raw).Damaged(1, 8, 4000);
    };
    EXPECT_FALSE(read(0, 0, false));
    EXPECT_FALSE(read(0, 0, true));
    EXPECT_TRUE(read(20000, 20000 + 1600, false));  // a hundred bytes
}
