// What Pelgrane's options make of a walk, held in memory: the QD image file
// (-d), the MZT file (-m) and the data dump of each file (-s). The program
// owns the files; this decides which bytes go into them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qd/decoded_files.h"
#include "qd/side_decoder.h"
#include "qddecode/options.h"

// The program's side of the outputs. A false return stops the walk: the
// program has failed and has said so.
class QdOutputFiles {
public:
    virtual ~QdOutputFiles() = default;
    virtual void BlockCount(int count) = 0;
    // A file's information record: with -s the information dump is written
    // and the data dump of the file opened.
    virtual bool Information(const QdInfoRecord& record, int blocknumber) = 0;
    // The open data dump is complete.
    virtual bool DataDumpDone(const std::vector<std::uint8_t>& bytes) = 0;
};

class QdSideOutputs : public QdDecodeEvents {
public:
    QdSideOutputs(const QdOptions& options, QdOutputFiles& files);

    // Completes the outputs after a walk: the image padded to its nominal
    // size, the last data dump handed on. False when that failed.
    bool Finish(bool normalend);

    const std::vector<std::uint8_t>& image() const { return m_files.image(); }
    const std::vector<std::uint8_t>& mzt() const { return m_files.mzt(); }

    void BlockCount(int count) override { m_program.BlockCount(count); }
    void ImageByte(std::uint8_t byte) override;
    bool DataByte(std::uint8_t byte, int offset) override;
    bool Information(const QdInfoRecord& record, int blocknumber) override;
    void ImageBytes(const std::uint8_t* bytes, std::size_t n) override;
    void ImageRun(std::uint8_t byte, std::size_t n) override;
    std::size_t DataBytes(const std::uint8_t* bytes, std::size_t n, int offset) override;

private:
    bool EndDataDump();

    QdOptions m_options;
    QdOutputFiles& m_program;
    QdDecodedFiles m_files;
    std::vector<std::uint8_t> m_dump;
    bool m_dumpopen = false;
    QdInfoRecord m_current{};  // the latest information record
};
