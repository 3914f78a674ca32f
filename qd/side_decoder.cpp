#include "qd/side_decoder.h"

#include <algorithm>
#include <cstdint>

#include "common/littleendian.h"
#include "qd/decoded_files.h"
#include "qd/mzt.h"
#include "qd/qd_image.h"

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
    Walk(QdReader& qd, Crc16& crc, QdDecodeEvents& sink)
        : m_qd(qd), m_reader(qd.reader), m_crc(crc), m_sink(sink) {}

    QdDecodeResult Run();

private:
    // A step's verdict: go on, or the walk's result.
    struct Step {
        bool done;
        QdDecodeResult result;
    };
    static Step Next() { return {false, {QdDecodeOutcome::kNormalEnd}}; }
    static Step End(QdDecodeOutcome outcome, std::uint8_t byte = 0, std::uint16_t check = 0) {
        return {true, {outcome, byte, check}};
    }

    // Running out of data or of gap is normal once every block is in.
    Step EndUnlessComplete(QdDecodeOutcome outcome) const {
        return End(m_blocknumber >= m_blockcount ? QdDecodeOutcome::kNormalEnd : outcome);
    }
    Step EndOfData() const { return EndUnlessComplete(QdDecodeOutcome::kEndOfFile); }
    void MarkFill() { m_fillpoint = m_reader.bitstreampos; }
    // A sync byte continues the run: it is kept, and the gap count restarts.
    bool ContinuesSync(std::int32_t b) {
        if (b != kQdSyncByte) return false;
        Stream(kQdSyncByte);
        MarkFill();
        return true;
    }
    // A byte of a block: into the stream and the CRC.
    void Take(std::uint8_t byte) {
        m_check = m_crc.CRC_check(byte, false);
        Stream(byte);
    }
    // The side stream, counted as it goes: where a block begins in it.
    void Stream(std::uint8_t byte) {
        m_sink.ImageByte(byte);
        ++m_streamed;
    }
    void Stream(const std::uint8_t* bytes, std::size_t n) {
        m_sink.ImageBytes(bytes, n);
        m_streamed += n;
    }
    void StreamRun(std::uint8_t byte, std::size_t n) {
        m_sink.ImageRun(byte, n);
        m_streamed += n;
    }
    // The block just read, as the walk hands it on.
    BlockSeen Seen(std::uint8_t type, bool count) const {
        const std::size_t length =
            count ? kQdBlockCountBlockBytes - kQdCrcBytes : QdBlockLength(m_header);
        return {QdBlockRole(type, count), type, length, m_check, m_blockstart, m_reader.Cell()};
    }

    Step Advance();
    Step GapSearch();
    Step SeekSync();
    Step PreMark();
    Step BlockCount();
    Step BlockHeader();
    Step BlockBody();
    Step PostBlock();

    QdReader& m_qd;
    BitReader& m_reader;
    Crc16& m_crc;
    QdDecodeEvents& m_sink;

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
    std::size_t m_streamed = 0;    // side stream bytes handed on
    std::size_t m_blockstart = 0;  // the block's ID mark in the stream
    std::uint8_t m_run[1024];      // body bytes on their way to the sink
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
            return SeekSync();
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
    if (m_qd.SearchGap() == SyncSearch::kEnd) return EndUnlessComplete(QdDecodeOutcome::kGapError);
    // The gap comes out as one 0x00 for every two raw bytes since the
    // last byte that the rebuilt stream accounts for.
    const std::uint32_t position = m_reader.bitstreampos;
    if (position > m_fillpoint) StreamRun(kQdGapByte, (position - m_fillpoint + 1) / 2);
    m_fillpoint = position;
    m_state = State::kSyncSearch;
    return Next();
}

Walk::Step Walk::SeekSync() {
    const ::SyncSearch found = m_qd.FindSync();
    if (found == ::SyncSearch::kEnd) return EndOfData();
    if (found == ::SyncSearch::kFound) m_state = State::kPreMark;
    return Next();
}

Walk::Step Walk::PreMark() {
    const std::int32_t b = m_reader.ReadByte();
    if (b < 0) return EndOfData();
    if (ContinuesSync(b)) return Next();
    if (b != kQdIdMark && b != kQdAltIdMark) {
        if (m_blocknumber >= m_blockcount) return End(QdDecodeOutcome::kNormalEnd);
        return End(QdDecodeOutcome::kIdError, static_cast<std::uint8_t>(b));
    }
    if (m_sidemark < 0) m_sidemark = b;
    if (b != m_sidemark) return End(QdDecodeOutcome::kIdError, static_cast<std::uint8_t>(b));
    m_blockstart = m_streamed;
    Stream(static_cast<std::uint8_t>(b));
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
    m_sink.Block(Seen(0, true));
    if (m_check != 0) return End(QdDecodeOutcome::kCrcError, 0, m_check);
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
    if (m_header[kQdBlockTypeOffset] > kQdMaxBlockType)
        return End(QdDecodeOutcome::kUnknownType, m_header[kQdBlockTypeOffset]);
    m_remaining = static_cast<int>(Le16(m_header + kQdBlockSizeOffset)) + kQdCrcBytes;
    m_offset = 0;
    m_state = State::kBlockBody;
    return Next();
}

Walk::Step Walk::BlockBody() {
    const bool data = IsQdDataBlock(m_header[kQdBlockTypeOffset]);
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
        Stream(m_run, taken);
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
    m_sink.Block(Seen(m_header[kQdBlockTypeOffset], false));
    if (m_check != 0) return End(QdDecodeOutcome::kCrcError, 0, m_check);
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
    StreamRun(kQdGapByte, skipped);
    if (skipped < kQdPostBlockSkipBytes) return EndOfData();
    MarkFill();
    m_state = State::kGapSearch;
    return Next();
}

}  // namespace

SyncSearch QdReader::SearchGap() {
    bool gapseen = false;
    for (;;) {
        // Gap in step passes a word at a time.
        if (reader.SkipGroups(kQdGapCells, UINT32_MAX) > 0) gapseen = true;
        const std::int32_t cells = reader.ReadBits(8);
        if (cells < 0) return SyncSearch::kEnd;
        if (cells == kQdGapCells) {
            gapseen = true;
        } else if (cells == kQdGapCellsOutOfStep) {
            reader.ReadBits(1);  // fall into step
            gapseen = true;
        } else if (gapseen) {
            return SyncSearch::kFound;
        }
    }
}

SyncSearch QdReader::FindSync() {
    // The register holds the last eight data bits, the latest in bit 7,
    // so 0x16 is found at any bit offset.
    for (int i = 0; i < kQdSyncSearchBits; ++i) {
        syncbyte = static_cast<std::uint8_t>(syncbyte >> 1);
        const std::int32_t pair = reader.ReadBits(2);
        if (pair < 0) return SyncSearch::kEnd;
        if (pair & 2) syncbyte |= 0x80;
        if (syncbyte == kQdSyncByte) return SyncSearch::kFound;
    }
    return SyncSearch::kNotFound;
}

QdDecodeResult DecodeQdSide(const std::vector<std::uint8_t>& raw, Crc16& crc,
                            QdDecodeEvents& events) {
    QdReader qd(raw);
    Walk walk(qd, crc, events);
    return walk.Run();
}

namespace {

// Hands the walk to the files it makes and keeps the blocks it tells of.
class Recorder : public QdDecodeEvents {
public:
    Recorder(QdSideRead& read, QdDecodedFiles& files) : m_read(read), m_files(files) {}

    void BlockCount(int count) override { m_read.blockcount = count; }
    void Block(const BlockSeen& block) override { m_read.blocks.push_back(block); }
    void ImageByte(std::uint8_t byte) override { m_files.Stream(&byte, 1); }
    void ImageBytes(const std::uint8_t* bytes, std::size_t n) override { m_files.Stream(bytes, n); }
    void ImageRun(std::uint8_t byte, std::size_t n) override { m_files.StreamRun(byte, n); }
    bool DataByte(std::uint8_t byte, int) override {
        m_files.Data(&byte, 1);
        return true;
    }
    std::size_t DataBytes(const std::uint8_t* bytes, std::size_t n, int) override {
        m_files.Data(bytes, n);
        return n;
    }
    bool Information(const QdInfoRecord& record, int) override {
        m_read.infos.push_back(record);
        m_files.Record(record);
        return true;
    }

private:
    QdSideRead& m_read;
    QdDecodedFiles& m_files;
};

}  // namespace

QdSideRead ReadQdSide(const std::vector<std::uint8_t>& raw, QdReadFiles which) {
    QdSideRead read{};
    QdDecodedFiles files(which != QdReadFiles::kMzt, which != QdReadFiles::kImage);
    Recorder recorder(read, files);
    Crc16 crc(kQdCheckerCrc);
    read.result = DecodeQdSide(raw, crc, recorder);
    read.imageread = files.image().size();
    files.Finish(read.result.outcome == QdDecodeOutcome::kNormalEnd);
    read.image = std::move(files.image());
    read.mzt = std::move(files.mzt());
    return read;
}

std::vector<std::uint8_t> QdBlockBytes(const QdSideRead& read, std::size_t n) {
    // A block's bytes lie in the stream from its ID mark, CRC and all.
    const BlockSeen& block = read.blocks[n];
    const std::size_t from = std::min(read.imageread, kQdImageHeaderBytes + block.offset);
    const std::size_t to = std::min(read.imageread, from + block.length + kQdCrcBytes);
    return {read.image.begin() + static_cast<std::ptrdiff_t>(from),
            read.image.begin() + static_cast<std::ptrdiff_t>(to)};
}

std::vector<QdSizeMismatch> QdSizeMismatches(const QdSideRead& read) {
    std::vector<QdSizeMismatch> mismatches;
    std::size_t info = 0;
    for (std::size_t n = 1; n + 1 < read.blocks.size(); ++n) {
        const BlockSeen& block = read.blocks[n];
        if (block.role != BlockRole::kHeader || block.check != 0) continue;
        const BlockSeen& data = read.blocks[n + 1];
        const unsigned size = Le16(&read.infos[info++][kQdInfoSize]);
        const std::size_t body = data.length - kQdBlockHeaderBytes;
        if (data.role == BlockRole::kData && size != body) mismatches.push_back({n, size, body});
    }
    return mismatches;
}

QdSideMzt MztOfQdSide(const QdSideRead& read) {
    QdSideMzt mzt{read.mzt};
    std::size_t at = 0;
    bool header = false;  // a header waits for its body
    for (std::size_t n = 1; n < read.blocks.size(); ++n) {
        const BlockSeen& block = read.blocks[n];
        if (block.role == BlockRole::kHeader) {
            if (header) return {{}, QdSideMzt::kInfoWithoutData, n - 1};
            header = block.check == 0;
            at += header ? kMztHeaderBytes : 0;
            continue;
        }
        if (!header) return {{}, QdSideMzt::kDataWithoutInfo, n};
        const std::size_t body = block.length - kQdBlockHeaderBytes;
        PutLe16(&mzt.file[at - kMztHeaderBytes + kMztSize], static_cast<unsigned>(body));
        at += body;
        header = false;
    }
    return mzt;
}
