// The QD image file and the MZT file that a decoded side makes, built as
// the decoder walks it: the side stream behind the image file's header, and
// for each information record an MZT header and the data after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qd/qd_layout.h"

class QdDecodedFiles {
public:
    // Which of the two to build.
    QdDecodedFiles(bool image, bool mzt);

    void Stream(const std::uint8_t* bytes, std::size_t n);
    void StreamRun(std::uint8_t byte, std::size_t n);
    void Record(const QdInfoRecord& record);
    void Data(const std::uint8_t* bytes, std::size_t n);
    // A side that read to its end is filled with gap to a side's length.
    void Finish(bool normalend);

    const std::vector<std::uint8_t>& image() const { return m_image; }
    const std::vector<std::uint8_t>& mzt() const { return m_mzt; }
    // The files whole, for a caller that keeps them.
    std::vector<std::uint8_t>& image() { return m_image; }
    std::vector<std::uint8_t>& mzt() { return m_mzt; }

private:
    bool m_buildimage;
    bool m_buildmzt;
    std::vector<std::uint8_t> m_image;  // with its header
    std::vector<std::uint8_t> m_mzt;
};
