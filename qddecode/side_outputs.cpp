#include "qddecode/side_outputs.h"

#include <algorithm>

namespace {

// A text file's contents end at this byte in its data dump.
constexpr std::uint8_t kTextEnd = 0x1A;
// A text file's first two body bytes are left out of its data dump.
constexpr int kTextSkippedBytes = 2;

}  // namespace

QdSideOutputs::QdSideOutputs(const QdOptions& options, QdOutputFiles& files)
    : m_options(options), m_program(files), m_files(options.image, options.mzt) {
    if (m_options.split) m_dump.reserve(kQdSideStreamBytes);
}

void QdSideOutputs::ImageByte(std::uint8_t byte) {
    m_files.Stream(&byte, 1);
}

bool QdSideOutputs::DataByte(std::uint8_t byte, int offset) {
    m_files.Data(&byte, 1);
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
    m_files.Stream(bytes, n);
}

void QdSideOutputs::ImageRun(std::uint8_t byte, std::size_t n) {
    m_files.StreamRun(byte, n);
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
    m_files.Data(bytes, taken < n ? taken + 1 : n);
    return taken;
}

bool QdSideOutputs::Information(const QdInfoRecord& record, int blocknumber) {
    if (!EndDataDump()) return false;
    if (!m_program.Information(record, blocknumber)) return false;
    m_files.Record(record);
    m_dumpopen = m_options.split;
    m_dump.clear();
    m_current = record;
    return true;
}

bool QdSideOutputs::EndDataDump() {
    if (!m_dumpopen) return true;
    m_dumpopen = false;
    return m_program.DataDumpDone(m_dump);
}

bool QdSideOutputs::Finish(bool normalend) {
    m_files.Finish(normalend);
    return EndDataDump();
}
