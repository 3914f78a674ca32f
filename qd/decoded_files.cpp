#include "qd/decoded_files.h"

#include "qd/mzt.h"
#include "qd/qd_image.h"

QdDecodedFiles::QdDecodedFiles(bool image, bool mzt) : m_buildimage(image), m_buildmzt(mzt) {
    // Room for a whole side up front: the files of a side as it should be
    // never move as they grow.
    if (m_buildimage) {
        m_image = QdImageHeader();
        m_image.reserve(kQdImageBytes);
    }
    if (m_buildmzt) m_mzt.reserve(kQdSideStreamBytes);
}

void QdDecodedFiles::Stream(const std::uint8_t* bytes, std::size_t n) {
    if (m_buildimage) m_image.insert(m_image.end(), bytes, bytes + n);
}

void QdDecodedFiles::StreamRun(std::uint8_t byte, std::size_t n) {
    if (m_buildimage) m_image.insert(m_image.end(), n, byte);
}

void QdDecodedFiles::Record(const QdInfoRecord& record) {
    if (!m_buildmzt) return;
    const MztHeader header = MztHeaderFromInfo(record);
    m_mzt.insert(m_mzt.end(), header.begin(), header.end());
}

void QdDecodedFiles::Data(const std::uint8_t* bytes, std::size_t n) {
    if (m_buildmzt) m_mzt.insert(m_mzt.end(), bytes, bytes + n);
}

void QdDecodedFiles::Finish(bool normalend) {
    if (normalend && m_buildimage && m_image.size() < static_cast<std::size_t>(kQdImageBytes)) {
        m_image.resize(kQdImageBytes, kQdGapByte);
    }
}
