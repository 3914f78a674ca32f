#include "qddecode/outputs.h"

#include <cstdio>
#include <utility>

#include "common/messages.h"
#include "mztencode/mzt.h"
#include "qddecode/fileinfo.h"
#include "qdencode/qd_image.h"

namespace {

constexpr const char* kDumpFile = "dump file:%s\n";
constexpr const char* kMztFile = "MZT file:%s\n";
constexpr const char* kDumpOpenError = "ERROR : file open error (%s)\n";
constexpr const char* kDumpWriteError = "ERROR : file write error (%s)\n";
constexpr const char* kInfoDumpName = "%s.%02d.QDINFO";
constexpr const char* kDataDumpName = "%s.%02d.QDDATA";
// A text file's contents end at this byte in its data dump.
constexpr std::uint8_t kTextEnd = 0x1A;
// A text file's first two body bytes are left out of its data dump.
constexpr int kTextSkippedBytes = 2;

}  // namespace

QdOutputs::QdOutputs(Console& console, const QdOptions& options, std::string base)
    : m_console(console), m_options(options), m_base(std::move(base)) {}

bool QdOutputs::Open() {
    if (m_options.image) {
        const std::string name = m_base + ".qdf";
        if (!m_image.Open(name.c_str(), "wb")) {
            m_console.Err(kFileOpenError);
            return false;
        }
        m_console.Out(kDumpFile, name.c_str());
        m_image.Puts(kQdImageMagic);
        for (int i = kQdImageMagicBytes; i < kQdImageHeaderBytes; ++i)
            m_image.Putc(kQdImagePadByte);
    }
    if (m_options.mzt) {
        const std::string name = m_base + ".mzt";
        if (!m_mzt.Open(name.c_str(), "wb")) {
            m_console.Err(kFileOpenError);
            return false;
        }
        m_console.Out(kMztFile, name.c_str());
    }
    return true;
}

bool QdOutputs::Put(CFile& file, std::uint8_t byte) {
    if (file.Putc(byte) != EOF) return true;
    m_console.Err(kFileWriteError);
    m_writefailed = true;
    return false;
}

bool QdOutputs::ImageByte(std::uint8_t byte) {
    return m_image.m_fp == nullptr || Put(m_image, byte);
}

bool QdOutputs::DataByte(std::uint8_t byte, int offset) {
    if (m_options.mzt && !Put(m_mzt, byte)) return false;
    // No dump is open before the first information record.
    if (!m_options.split || m_dump.m_fp == nullptr) return true;
    if (m_current[kInfoAttribute] != kTextAttribute) return Put(m_dump, byte);
    if (byte == kTextEnd) {
        m_endseen = true;
        return CloseDump();
    }
    if (m_endseen || offset < kTextSkippedBytes) return true;
    return Put(m_dump, byte);
}

bool QdOutputs::Information(const InfoRecord& record, int blocknumber) {
    if (!CloseDump()) return false;
    if (m_options.split && !WriteInfoDump(record, blocknumber)) return false;
    PrintFileInformation(m_console, record);
    if (m_options.mzt) {
        const MztHeader header = MztHeaderFromInfo(record);
        if (!m_mzt.Write(header.data(), kMztHeaderBytes)) {
            m_console.Err(kFileWriteError);
            m_writefailed = true;
            return false;
        }
    }
    if (m_options.split) {
        const std::string name = DumpName(kDataDumpName, blocknumber + 1);
        if (!m_dump.Open(name.c_str(), "wb")) {
            m_console.Err(kDumpOpenError, name.c_str());
            return false;
        }
    }
    m_endseen = false;
    m_current = record;
    return true;
}

bool QdOutputs::WriteInfoDump(const InfoRecord& record, int blocknumber) {
    const std::string name = DumpName(kInfoDumpName, blocknumber);
    CFile info;
    if (!info.Open(name.c_str(), "wb")) {
        m_console.Err(kDumpOpenError, name.c_str());
        return false;
    }
    const bool written = info.Write(record.data(), kInfoRecordBytes);
    if (!info.Close() || !written) {
        m_console.Err(kDumpWriteError, name.c_str());
        m_writefailed = true;
        return false;
    }
    return true;
}

bool QdOutputs::CloseDump() {
    if (m_dump.Close()) return true;
    m_console.Err(kFileWriteError);
    m_writefailed = true;
    return false;
}

std::string QdOutputs::DumpName(const char* format, int blocknumber) const {
    const int length = std::snprintf(nullptr, 0, format, m_base.c_str(), blocknumber);
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(name.data(), name.size(), format, m_base.c_str(), blocknumber);
    name.pop_back();
    return name;
}

bool QdOutputs::Finish() {
    while (m_image.m_fp != nullptr && m_image.m_size < kQdImageBytes) {
        if (!Put(m_image, kGapByte)) return false;
    }
    return true;
}

bool QdOutputs::Close() {
    const bool image = m_image.Close();
    const bool mzt = m_mzt.Close();
    const bool dump = m_dump.Close();
    if (image && mzt && dump) return true;
    // One message for the run, however many writes failed.
    if (!m_writefailed) m_console.Err(kFileWriteError);
    m_writefailed = true;
    return false;
}
