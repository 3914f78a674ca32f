#include "qd/side_outputs.h"

#include <algorithm>

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
    // Room for a whole side up front: the outputs of a side as it should be
    // never move as they grow.
    if (m_options.image) {
        m_image = QdImageHeader();
        m_image.reserve(kQdImageBytes);
    }
    if (m_options.mzt) m_mzt.reserve(kQdSideStreamBytes);
    if (m_options.split) m_dump.reserve(kQdSideStreamBytes);
}

void QdSideOutputs::ImageByte(std::uint8_t byte) {
    if (m_options.image) m_image.push_back(byte);
}

bool QdSideOutputs::DataByte(std::uint8_t byte, int offset) {
    if (m_options.mzt) m_mzt.push_back(byte);
    // No dump is open before the first information record, nor after a
    // text file's end.
    if (!m_dumpopen) return true;
    if (m_current[kQdInfoAttribute] != kQdTextAttribute) {
        m_dump.push_back(byte);
    } else if (byte == kTextEnd) {
        return EndDataDump();
    } else if (offset >= kTextSkippedBytes) {
        m_dump.push_back(byte);
    }
    return true;
}

void QdSideOutputs::ImageBytes(const std::uint8_t* bytes, std::size_t n) {
    if (m_options.image) m_image.insert(m_image.end(), bytes, bytes + n);
}

void QdSideOutputs::ImageRun(std::uint8_t byte, std::size_t n) {
    if (m_options.image) m_image.insert(m_image.end(), n, byte);
}

// DataByte over a run: the same bytes end up in the same places.
std::size_t QdSideOutputs::DataBytes(const std::uint8_t* bytes, std::size_t n, int offset) {
    std::size_t taken = n;
    if (m_dumpopen && m_current[kQdInfoAttribute] != kQdTextAttribute) {
        m_dump.insert(m_dump.end(), bytes, bytes + n);
    } else if (m_dumpopen) {
        const auto end = static_cast<std::size_t>(std::find(bytes, bytes + n, kTextEnd) - bytes);
        const std::size_t from =
            offset >= kTextSkippedBytes
                ? 0
                : std::min(end, static_cast<std::size_t>(kTextSkippedBytes - offset));
        m_dump.insert(m_dump.end(), bytes + from, bytes + end);
        if (end < n && !EndDataDump()) taken = end;
    }
    // The byte whose dump failed still reached the MZT file.
    if (m_options.mzt) m_mzt.insert(m_mzt.end(), bytes, bytes + (taken < n ? taken + 1 : n));
    return taken;
}

bool QdSideOutputs::Information(const QdInfoRecord& record, int blocknumber) {
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
