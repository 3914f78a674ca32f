// Pelgrane: lists the files on the raw image of one QD side and writes them
// out as a QD image file, an MZT file or a split dump.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/console.h"
#include "common/crc16.h"
#include "common/messages.h"
#include "common/pathlib.h"
#include "common/platform.h"
#include "common/wholefile.h"
#include "qd/fileinfo.h"
#include "qd/side_decoder.h"
#include "qddecode/messages.h"
#include "qddecode/options.h"
#include "qddecode/side_outputs.h"

// Holds the component runtime for the run, as each program always has;
// no program calls the folder browser that needs it.
static Pathlib pathlib;

using namespace pelgrane;

namespace {

// The files the options ask for, named from the base name in the current
// folder, and the lines the walk's events print.
class Files : public QdOutputFiles {
public:
    Files(Console& console, const QdOptions& options, const std::string& input)
        : m_console(console),
          m_options(options),
          m_input(input),
          m_base(Pathlib::SplitFilename(input.c_str())) {}

    // Opens the QD image and MZT files, printing their names; false after
    // printing the open error.
    bool Open() {
        if (m_options.image && !OpenNamed(m_image, kImageExtension, kDumpFile)) return false;
        return !m_options.mzt || OpenNamed(m_mzt, kMztExtension, kMztFile);
    }

    // Writes what the outputs hold and closes every file; false, with one
    // write error printed for the run, when a byte did not reach its file.
    // Outputs of a walk that read nothing would only destroy earlier ones.
    bool Close(const QdSideOutputs& outputs) {
        if (!m_anyblock) return true;
        const bool image = !m_image.IsOpen() || m_image.Save(outputs.image());
        const bool mzt = !m_mzt.IsOpen() || m_mzt.Save(outputs.mzt());
        if (image && mzt) return true;
        WriteFailed();
        return false;
    }

    void BlockCount(int count) override {
        m_anyblock = true;
        m_console.Out(kBlockNum, count);
    }

    bool Information(const QdInfoRecord& record, int blocknumber) override {
        if (m_options.split && !WriteInfoDump(record, blocknumber)) return false;
        m_console.Raw(FileInformationText(record));
        if (!m_options.split) return true;
        const std::string name = DumpName(kDataDumpName, blocknumber + 1);
        return OpenOutput(m_console, m_dump, name.c_str(), m_input.c_str(), kDumpOpenError);
    }

    bool DataDumpDone(const std::vector<std::uint8_t>& bytes) override {
        if (m_dump.Save(bytes)) return true;
        WriteFailed();
        return false;
    }

private:
    bool OpenNamed(OutputFile& file, const char* extension, const char* announce) {
        const std::string name = m_base + extension;
        if (!OpenOutput(m_console, file, name.c_str(), m_input.c_str(), kFileOpenError)) {
            return false;
        }
        m_console.Out(announce, name.c_str());
        return true;
    }

    bool WriteInfoDump(const QdInfoRecord& record, int blocknumber) {
        const std::string name = DumpName(kInfoDumpName, blocknumber);
        OutputFile info;
        if (!OpenOutput(m_console, info, name.c_str(), m_input.c_str(), kDumpOpenError)) {
            return false;
        }
        if (info.Save({record.begin(), record.end()})) return true;
        m_console.Err(kDumpWriteError, name.c_str());
        m_writefailed = true;
        return false;
    }

    // One message for the run, however many writes failed.
    void WriteFailed() {
        if (!m_writefailed) m_console.Err(kFileWriteError);
        m_writefailed = true;
    }

    std::string DumpName(const char* format, int blocknumber) const {
        const int length = std::snprintf(nullptr, 0, format, m_base.c_str(), blocknumber);
        std::string name(static_cast<std::size_t>(length) + 1, '\0');
        std::snprintf(name.data(), name.size(), format, m_base.c_str(), blocknumber);
        name.pop_back();
        return name;
    }

    Console& m_console;
    QdOptions m_options;
    std::string m_input;
    std::string m_base;
    OutputFile m_image;
    OutputFile m_mzt;
    OutputFile m_dump;
    bool m_anyblock = false;
    bool m_writefailed = false;
};

void ReportWalkError(Console& console, const QdDecodeResult& result) {
    switch (result.outcome) {
        case QdDecodeOutcome::kGapError:
            console.Err(kGapError);
            break;
        case QdDecodeOutcome::kEndOfFile:
            console.Err(kEndOfData);
            break;
        case QdDecodeOutcome::kIdError:
            console.Err(kIdError, static_cast<int>(result.byte));
            break;
        case QdDecodeOutcome::kCrcError:
            console.Err(kCrcError, static_cast<int>(result.check));
            break;
        case QdDecodeOutcome::kUnknownType:
            console.Err(kUnknownType, static_cast<int>(result.byte));
            break;
        case QdDecodeOutcome::kNormalEnd:
        case QdDecodeOutcome::kOutputFailed:
            break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    TakeCommandLine(argc, argv);
    Console console;
    if (ShowUsage(console, argc, argv, 2, kName, kTitle, kUsage)) return 0;
    const QdCommandLine line = ParseQdCommandLine(argc, argv);
    if (line.imagefile.empty()) {
        console.Err(kNoFilename);
        return 1;
    }
    std::vector<std::uint8_t> bitstreambuffer;
    if (!LoadInput(console, line.imagefile.c_str(), bitstreambuffer)) return 1;

    Files files(console, line.options, line.imagefile);
    QdSideOutputs outputs(line.options, files);
    if (!files.Open()) {
        files.Close(outputs);
        return 1;
    }
    console.Line(line.options.Any() ? kConverting : kListing);

    Crc16 crc(kQdCheckerCrc);
    const QdDecodeResult result = DecodeQdSide(bitstreambuffer, crc, outputs);
    ReportWalkError(console, result);
    const bool normal = result.outcome == QdDecodeOutcome::kNormalEnd;
    const bool finished = outputs.Finish(normal);
    const bool closed = files.Close(outputs);
    if (!normal || !finished || !closed) return 1;
    console.Line(kConversionDone);
    return 0;
}
