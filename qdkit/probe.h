// What telling a file's kind may look at: its size and the bytes it asks
// for, read from the file only as far as needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/dataplanes.h"
#include "common/fileio.h"

// Raw captures vary in length, but one many times a nominal side holds no
// side: a raw side is looked for only in files up to this size.
inline constexpr std::uint64_t kMaxRawSideBytes = 4 * 163840;

class Probe {
public:
    // file is open for reading and measured.
    explicit Probe(CFile& file);
    // A file already in memory.
    explicit Probe(std::vector<std::uint8_t> bytes);
    // Bytes the caller keeps for as long as the probe lives, not copied.
    struct Borrowed {};
    Probe(const std::vector<std::uint8_t>& bytes, Borrowed);

    std::uint64_t size() const { return m_size; }
    // The first bytes of the file (all of a short one).
    const std::vector<std::uint8_t>& Prefix() const { return m_prefix; }
    // n bytes from offset; false when they are not all there or not read.
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n);
    // The whole file when it holds at most most bytes and could be read.
    const std::vector<std::uint8_t>* Whole(std::uint64_t most);
    // The whole file's data planes, made once for every kind that looks
    // for blocks in its cells; none when Whole(most) is none.
    const DataPlanes* Planes(std::uint64_t most);
    // Hands over the whole file, read now if no kind asked for it.
    bool TakeWhole(std::vector<std::uint8_t>& bytes);
    bool failed() const { return m_failed; }

private:
    CFile* m_file = nullptr;
    std::uint64_t m_size;
    std::vector<std::uint8_t> m_prefix;
    std::vector<std::uint8_t> m_whole;
    const std::vector<std::uint8_t>* m_borrowed = nullptr;  // stands for m_whole
    bool m_haswhole = false;

    const std::vector<std::uint8_t>& Held() const { return m_borrowed ? *m_borrowed : m_whole; }
    // The first bytes of those held, for the kinds that carry a header.
    void KeepPrefix();
    std::optional<DataPlanes> m_planes;
    bool m_failed = false;
};
