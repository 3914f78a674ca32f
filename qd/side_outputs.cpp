#include "qd/side_outputs.h"

#include "qd/mzt.h"
#include "qd/qd_image.h"

namespace {

// A text file's contents end at this byte in its data dump.
constexpr std::uint8_t kTextEnd = 0x1A;
// A text file's first two body bytes are left out of its data dump.
constexpr int kTextSkippedBytes = 2;

}  // namespace

QdSideOutputs::QdSideOutputs(const QdOptions& options, QdOutputFiles& files)
    : m_options(options), m_files(files) {
    if (m_options.image) m_image = QdImageHeader();
}

void QdSideOutputs::ImageByte(std::uint8_t byte) {
    if (m_options.image) m_image.push_back(byte);
}

bool QdSideOutputs::DataByte(std::uint8_t byte, int offset) {
    if (m_options.mzt) m_mzt.push_back(byte);
    // No dump is open before the first information record, nor after a
    // text file's end.
    if (!m_dumpopen) return true;
    if (m_current[kInfoAttribute] != kTextAttribute) {
        m_dump.push_back(byte);
    } else if (byte == kTextEnd) {
        return EndDataDump();
    } else if (offset >= kTextSkippedBytes) {
        m_dump.push_back(byte);
    }
    return true;
}

bool QdSideOutputs::Information(const InfoRecord& record, int blocknumber) {
    if (!EndDataDump()) return false;
    if (!m_files.Information(record, blocknumber)) return false;
    if (m_options.mzt) {
        const MztHeader header = MztHeaderFromInfo(record);
        m_mzt.insert(m_mzt.end(), header.begin(), header.end());
    }
    m_dumpopen = m_options.split;
    m_dump.clear();
    m_current = record;
    return true;
}

bool QdSideOutputs::EndDataDump() {
    if (!m_dumpopen) return true;
    m_dumpopen = false;
    return m_files.DataDumpDone(m_dump);
}

bool QdSideOutputs::Finish(bool normalend) {
    if (normalend && m_options.image && m_image.size() < static_cast<std::size_t>(kQdImageBytes)) {
        m_image.resize(kQdImageBytes, kQdGapByte);
    }
    return EndDataDump();
}
