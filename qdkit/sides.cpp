#include "qdkit/sides.h"

#include "common/crc16.h"
#include "fds/fds_format.h"
#include "qd/side_outputs.h"

namespace {

class FdsRecorder : public FdsDecodeEvents {
public:
    explicit FdsRecorder(FdsRawRead& read) : m_read(read) {}
    void Block(const FdsBlockSeen& block) override { m_read.blocks.push_back(block); }
    void Problem(FdsDecodeProblem problem, int a, int b) override {
        m_read.problems.push_back({problem, a, b});
    }

private:
    FdsRawRead& m_read;
};

// The outputs need somewhere to hand files to; nothing is written here.
class NoFiles : public QdOutputFiles {
public:
    void BlockCount(int) override {}
    bool Information(const InfoRecord&, int) override { return true; }
    bool DataDumpDone(const std::vector<std::uint8_t>&) override { return true; }
};

// Hands the walk to the decoder's own outputs and keeps the blocks seen.
class QdRecorder : public QdDecodeSink {
public:
    QdRecorder(QdRawRead& read, QdSideOutputs& outputs) : m_read(read), m_outputs(outputs) {}

    void BlockCount(int count) override {
        m_read.blockcount = count;
        m_outputs.BlockCount(count);
    }
    void Block(const QdBlockSeen& block) override { m_read.blocks.push_back(block); }
    void ImageByte(std::uint8_t byte) override { m_outputs.ImageByte(byte); }
    bool DataByte(std::uint8_t byte, int offset) override {
        return m_outputs.DataByte(byte, offset);
    }
    bool Information(const InfoRecord& record, int blocknumber) override {
        m_read.infos.push_back(record);
        return m_outputs.Information(record, blocknumber);
    }

private:
    QdRawRead& m_read;
    QdSideOutputs& m_outputs;
};

}  // namespace

FdsRawRead ReadFdsRaw(const Bytes& raw) {
    FdsRawRead read{};
    FdsRecorder recorder(read);
    Crc16 crc(kFdsCheckerCrc);
    read.outcome = DecodeFdsSide(raw, read.image, crc, recorder);
    return read;
}

QdRawRead ReadQdRaw(const Bytes& raw) {
    QdRawRead read{};
    QdOptions options;
    options.image = true;
    options.mzt = true;
    NoFiles files;
    QdSideOutputs outputs(options, files);
    QdRecorder recorder(read, outputs);
    QdReader qd(raw);
    Crc16 crc(kQdCheckerCrc);
    read.result = DecodeQdSide(qd, crc, recorder);
    outputs.Finish(read.result.outcome == QdDecodeOutcome::kNormalEnd);
    read.image = outputs.image();
    read.mzt = outputs.mzt();
    return read;
}
