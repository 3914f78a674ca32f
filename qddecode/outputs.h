// What Pelgrane writes from a walk: the QD image file (-d), the MZT file
// (-m) and the split dump (-s), all named from the base name in the current
// folder. Every failed write ends the run with its message.
#pragma once

#include <string>

#include "common/console.h"
#include "common/fileio.h"
#include "qddecode/walk.h"

struct QdOptions {
    bool image = false;  // -d
    bool split = false;  // -s
    bool mzt = false;    // -m
    bool Any() const { return image || split || mzt; }
};

class QdOutputs : public QdWalkSink {
public:
    QdOutputs(Console& console, const QdOptions& options, std::string base);

    // Opens the QD image and MZT files the options ask for, printing their
    // names; false after printing the open error.
    bool Open();
    // Pads the QD image to its nominal size; false after a write error.
    bool Finish();
    // Closes every file; false, with the write error printed, when one of
    // them did not reach the disk whole.
    bool Close();

    bool ImageByte(std::uint8_t byte) override;
    bool DataByte(std::uint8_t byte, int offset) override;
    bool Information(const InfoRecord& record, int blocknumber) override;

private:
    bool Put(CFile& file, std::uint8_t byte);
    bool CloseDump();
    bool WriteInfoDump(const InfoRecord& record, int blocknumber);
    std::string DumpName(const char* format, int blocknumber) const;

    Console& m_console;
    QdOptions m_options;
    std::string m_base;
    CFile m_image;
    CFile m_mzt;
    CFile m_dump;
    InfoRecord m_current{};  // the latest information record
    bool m_endseen = false;
    bool m_writefailed = false;
};
