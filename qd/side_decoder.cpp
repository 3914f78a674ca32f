#include "qd/side_decoder.h"

#include <algorithm>
#include <cstdint>

#include "common/littleendian.h"

namespace {

enum class State {
    kGapSearch,
    kSyncSearch,
    kPreMark,
    kBlockCount,
    kBlockHeader,
    kBlockBody,
    kPostBlock
};

class Walk {
public:
    Walk(QdReader& qd, Crc16& crc, QdDecodeSink& sink)
        : m_qd(qd), m_reader(qd.reader), m_crc(crc), m_sink(sink) {}

    QdDecodeResult Run();

private:
    // A step's verdict: go on, or the walk's result.
    struct Step {
        bool done;
        QdDecodeResult result;
    };
    static Step Next() { return {false, {QdDecodeOutcome::kNormalEnd, 0}}; }
    static Step End(QdDecodeOutcome outcome, int value = 0) { return {true, {outcome, value}}; }

    // Running out of data or of gap is normal once every block is in.
    Step EndUnlessComplete(QdDecodeOutcome outcome) const {
        return End(m_blocknumber >= m_blockcount ? QdDecodeOutcome::kNormalEnd : outcome);
    }
    Step EndOfData() const { return EndUnlessComplete(QdDecodeOutcome::kEndOfFile); }
    void MarkFill() { m_fillpoint = m_reader.bitstreampos; }
    // A sync byte continues the run: it is kept, and the gap count restarts.
    bool ContinuesSync(std::int32_t b) {
        if (b != kQdSyncByte) return false;
        m_sink.ImageByte(kQdSyncByte);
        MarkFill();
        return true;
    }
    // A byte of a block: into the stream and the CRC.
    void Take(std::uint8_t byte) {
        m_check = m_crc.CRC_check(byte, false);
        m_sink.ImageByte(byte);
    }

    Step Advance();
    Step GapSearch();
    Step SyncSearch();
    Step PreMark();
    Step BlockCount();
    Step BlockHeader();
    Step BlockBody();
    Step PostBlock();

    QdReader& m_qd;
    BitReader& m_reader;
    Crc16& m_crc;
    QdDecodeSink& m_sink;

    State m_state = State::kGapSearch;
    int m_blockcount = 0;
    int m_blocknumber = -1;
    int m_sidemark = -1;  // none until the first block
    bool m_firstblock = true;
    int m_remaining = 0;
    int m_offset = 0;
    std::uint8_t m_header[kQdBlockHeaderBytes] = {};
    QdInfoRecord m_record{};
    std::uint32_t m_fillpoint = 0;
    std::uint16_t m_check = 0;
    std::uint8_t m_run[1024];  // body bytes on their way to the sink
};

QdDecodeResult Walk::Run() {
    m_reader.Seek(kQdSkippedRawBytes);
    for (;;) {
        const Step step = Advance();
        if (step.done) return step.result;
    }
}

Walk::Step Walk::Advance() {
    switch (m_state) {
        case State::kGapSearch:
            return GapSearch();
        case State::kSyncSearch:
            return SyncSearch();
        case State::kPreMark:
            return PreMark();
        case State::kBlockCount:
            return BlockCount();
        case State::kBlockHeader:
            return BlockHeader();
        case State::kBlockBody:
            return BlockBody();
        case State::kPostBlock:
            return PostBlock();
    }
    return Next();
}

Walk::Step Walk::GapSearch() {
    if (m_qd.SearchGap() < 0) return EndUnlessComplete(QdDecodeOutcome::kGapError);
    // The gap comes out as one 0x00 for every two raw bytes since the
    // last byte that the rebuilt stream accounts for.
    const std::uint32_t position = m_reader.bitstreampos;
    if (position > m_fillpoint) m_sink.ImageRun(kQdGapByte, (position - m_fillpoint + 1) / 2);
    m_fillpoint = position;
    m_state = State::kSyncSearch;
    return Next();
}

Walk::Step Walk::SyncSearch() {
    const std::int32_t found = m_qd.FindSync();
    if (found < 0) return EndOfData();
    if (found == kQdSyncByte) m_state = State::kPreMark;
    return Next();
}

Walk::Step Walk::PreMark() {
    const std::int32_t b = m_reader.ReadByte();
    if (b < 0) return EndOfData();
    if (ContinuesSync(b)) return Next();
    if (b != kQdIdMark && b != kQdAltIdMark) {
        if (m_blocknumber >= m_blockcount) return End(QdDecodeOutcome::kNormalEnd);
        return End(QdDecodeOutcome::kIdError, b);
    }
    if (m_sidemark < 0) m_sidemark = b;
    if (b != m_sidemark) return End(QdDecodeOutcome::kIdError, b);
    m_sink.ImageByte(static_cast<std::uint8_t>(b));
    m_crc.CRC_check(static_cast<std::uint8_t>(b), true);
    m_header[0] = static_cast<std::uint8_t>(b);
    m_remaining = m_firstblock ? kQdBlockCountBlockBytes - 1 : kQdBlockHeaderBytes - 1;
    m_offset = 1;
    m_state = m_firstblock ? State::kBlockCount : State::kBlockHeader;
    return Next();
}

Walk::Step Walk::BlockCount() {
    const std::int32_t b = m_reader.ReadByte();
    if (b < 0) return EndOfData();
    if (m_offset == 1) {
        m_sink.BlockCount(b);
        m_blockcount = b;
        m_blocknumber = 0;
    }
    Take(static_cast<std::uint8_t>(b));
    ++m_offset;
    if (--m_remaining > 0) return Next();
    m_sink.Block({-1, 0, m_check});
    if (m_check != 0) return End(QdDecodeOutcome::kCrcError, m_check);
    m_firstblock = false;
    m_state = State::kPostBlock;
    return Next();
}

Walk::Step Walk::BlockHeader() {
    const std::int32_t b = m_reader.ReadByte();
    if (b < 0) return EndOfData();
    if (m_offset < kQdBlockHeaderBytes) m_header[m_offset] = static_cast<std::uint8_t>(b);
    Take(static_cast<std::uint8_t>(b));
    if (--m_remaining > 0) {
        ++m_offset;
        return Next();
    }
    if (m_header[1] > kQdMaxBlockType) return End(QdDecodeOutcome::kUnknownType, m_header[1]);
    m_remaining = static_cast<int>(Le16(m_header + 2)) + kQdCrcBytes;
    m_offset = 0;
    m_state = State::kBlockBody;
    return Next();
}

Walk::Step Walk::BlockBody() {
    const bool data = IsQdDataBlock(m_header[1]);
    // The body before the CRC goes in runs.
    while (m_remaining > kQdCrcBytes) {
        const auto want = std::min<std::size_t>(m_remaining - kQdCrcBytes, sizeof m_run);
        const std::size_t got = m_reader.ReadBytes(m_run, want);
        std::size_t taken = got;
        if (data) {
            taken = m_sink.DataBytes(m_run, got, m_offset);
        } else {
            for (std::size_t i = 0; i < got && m_offset + i < kQdInfoRecordBytes; ++i)
                m_record[m_offset + i] = m_run[i];
        }
        m_check = m_crc.Update(m_run, taken, false);
        m_sink.ImageBytes(m_run, taken);
        m_offset += static_cast<int>(taken);
        m_remaining -= static_cast<int>(taken);
        if (taken < got) return End(QdDecodeOutcome::kOutputFailed);
        if (got < want) return EndOfData();
    }
    const std::int32_t b = m_reader.ReadByte();
    if (b < 0) return EndOfData();
    const auto byte = static_cast<std::uint8_t>(b);
    if (!data && m_offset < kQdInfoRecordBytes) m_record[m_offset] = byte;
    Take(byte);
    ++m_offset;
    if (--m_remaining > 0) return Next();
    m_sink.Block({m_header[1], static_cast<int>(Le16(m_header + 2)), m_check});
    if (m_check != 0) return End(QdDecodeOutcome::kCrcError, m_check);
    if (!data && !m_sink.Information(m_record, m_blocknumber)) {
        return End(QdDecodeOutcome::kOutputFailed);
    }
    ++m_blocknumber;
    m_state = State::kPostBlock;
    return Next();
}

Walk::Step Walk::PostBlock() {
    const std::int32_t b = m_reader.ReadByte();
    if (b < 0) return EndOfData();
    if (ContinuesSync(b)) return Next();
    // The byte that ends the sync run is dropped; the next ones are taken
    // as gap, unread.
    const std::size_t skipped = m_reader.SkipBytes(kQdPostBlockSkipBytes);
    m_sink.ImageRun(kQdGapByte, skipped);
    if (skipped < kQdPostBlockSkipBytes) return EndOfData();
    MarkFill();
    m_state = State::kGapSearch;
    return Next();
}

}  // namespace

std::int32_t QdReader::SearchGap() {
    bool gapseen = false;
    for (;;) {
        // Gap in step passes a word at a time.
        if (reader.SkipGroups(kQdGapCells, UINT32_MAX) > 0) gapseen = true;
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return -1;
        if (cells == kQdGapCells) {
            gapseen = true;
        } else if (cells == kQdGapCellsOutOfStep) {
            reader.ReadBits(1);  // fall into step
            gapseen = true;
        } else if (gapseen) {
            return 0;
        }
    }
}

std::int32_t QdReader::FindSync() {
    // The register holds the last eight data bits, the latest in bit 7,
    // so 0x16 is found at any bit offset.
    for (int i = 0; i < kQdSyncSearchBits; ++i) {
        syncbyte = static_cast<std::uint8_t>(syncbyte >> 1);
        const std::int32_t pair = reader.ReadBits(2);
        if (pair < 0) return -1;
        if (pair & 2) syncbyte |= 0x80;
        if (syncbyte == kQdSyncByte) return kQdSyncByte;
    }
    return 0;
}

QdDecodeResult DecodeQdSide(QdReader& qd, Crc16& crc, QdDecodeSink& sink) {
    Walk walk(qd, crc, sink);
    return walk.Run();
}
