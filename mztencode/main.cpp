// Surbeck: the files of an MZT file onto a freshly formatted QD side.
#include <cstdint>
#include <string>
#include <vector>

#include "common/bitstream.h"
#include "common/console.h"
#include "common/crc16.h"
#include "common/pathlib.h"
#include "common/wholefile.h"
#include "mztencode/mzt.h"
#include "mztencode/side_builder.h"
#include "qddecode/fileinfo.h"

static Pathlib pathlib;

namespace {

constexpr const char* kTitle = "MZT image encoder";
constexpr const char* kUsage = " Usage : Surbeck mztfile";
constexpr const char* kExtension = ".QDK";
constexpr const char* kFileSizeError = "ERROR : file size error.\n";
constexpr const char* kTruncated = "ERROR : MZT record %d runs past the end of the file.\n";
constexpr const char* kBlockNumberError = "ERROR : MZT block number error. [%d]\n";
constexpr const char* kBlocks = "MZT blocks: %d\n";
constexpr const char* kRecordsDone = "End of data.";
constexpr const char* kComplete = "Complete.";

}  // namespace

int main(int argc, char** argv) {
    Console console;
    if (argc < 2) {
        console.Out("%s%s\n", kTitle, kOwnerNotice);
        console.Line(kUsage);
        return 0;
    }
    const char* mztfile = argv[1];
    CFile input;
    LoadStatus load = OpenInput(input, mztfile);
    if (load == LoadStatus::kOk && input.m_size >= 0 && input.m_size <= kMztHeaderBytes) {
        console.Err(kFileSizeError);
        return 1;
    }
    std::vector<std::uint8_t> file;
    if (load == LoadStatus::kOk) load = ReadInput(input, file);
    if (load != LoadStatus::kOk) {
        ReportLoad(console, load, mztfile);
        return 1;
    }

    const std::string outname = Pathlib::SplitFilename(mztfile) + kExtension;
    CFile output;
    if (!output.Open(outname.c_str(), "wb")) {
        console.Err(kFileOpenError);
        return 1;
    }
    const std::vector<MztRecordView> records = WalkMztRecords(file);
    if (!MztBodyInside(file, records.back())) {
        console.Err(kTruncated, static_cast<int>(records.size()));
        return 1;
    }
    const int blockcount = 2 * static_cast<int>(records.size());
    if (blockcount > kMaxBlockCount) {
        console.Err(kBlockNumberError, blockcount);
        return 1;
    }
    console.Out(kBlocks, blockcount);

    Crc16 crc(kQdWriterCrc);
    std::vector<InfoRecord> infos;
    std::vector<std::uint8_t> stream = BuildQdSide(file, records, crc, infos);
    for (const InfoRecord& info : infos) PrintFileInformation(console, info);
    console.Line(kRecordsDone);
    if (stream.size() > static_cast<std::size_t>(kSideStreamBytes)) {
        console.Err(kRawSizeOver);
        return 1;
    }
    stream.resize(kSideStreamBytes, kGapByte);

    BitWriter writer;
    EncodeSide(writer, stream.data(), stream.size());
    if (!SaveOutput(output, writer.bitstreambuffer)) {
        console.Err(kFileWriteError);
        return 1;
    }
    console.Line(kComplete);
    return 0;
}
