#include "qdkit/probe.h"

#include <algorithm>
#include <cstdio>

#include "common/wholefile.h"

namespace {

// Enough of any file to tell the kinds that carry a header apart.
constexpr std::size_t kPrefixBytes = 64;

}  // namespace

Probe::Probe(CFile& file) : m_file(&file), m_size(static_cast<std::uint64_t>(file.size())) {
    m_prefix.resize(static_cast<std::size_t>(std::min<std::uint64_t>(m_size, kPrefixBytes)));
    if (!m_prefix.empty() && !ReadAt(0, m_prefix.data(), m_prefix.size())) m_failed = true;
}

Probe::Probe(std::vector<std::uint8_t> bytes)
    : m_size(bytes.size()), m_whole(std::move(bytes)), m_haswhole(true) {
    KeepPrefix();
}

Probe::Probe(const std::vector<std::uint8_t>& bytes, Borrowed)
    : m_size(bytes.size()), m_borrowed(&bytes), m_haswhole(true) {
    KeepPrefix();
}

void Probe::KeepPrefix() {
    const std::vector<std::uint8_t>& held = Held();
    m_prefix.assign(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(
                                                     std::min(held.size(), kPrefixBytes)));
}

bool Probe::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset > m_size || m_size - offset < n) return false;
    if (m_haswhole) {
        std::copy_n(Held().begin() + static_cast<std::ptrdiff_t>(offset), n, out);
        return true;
    }
    if (n == 0) return true;
    if (m_file == nullptr || m_file->Seek(static_cast<std::int64_t>(offset), SEEK_SET) != 0 ||
        !m_file->Read(out, static_cast<std::int64_t>(n))) {
        m_failed = true;
        return false;
    }
    return true;
}

const std::vector<std::uint8_t>* Probe::Whole(std::uint64_t most) {
    if (m_size > most) return nullptr;
    if (!m_haswhole) {
        if (m_size > static_cast<std::uint64_t>(kMaxInputBytes)) return nullptr;
        m_whole.resize(static_cast<std::size_t>(m_size));
        if (!ReadAt(0, m_whole.data(), m_whole.size())) return nullptr;
        m_haswhole = true;
    }
    return &Held();
}

const DataPlanes* Probe::Planes(std::uint64_t most) {
    const std::vector<std::uint8_t>* whole = Whole(most);
    if (whole == nullptr) return nullptr;
    if (!m_planes) m_planes.emplace(*whole);
    return &*m_planes;
}

bool Probe::TakeWhole(std::vector<std::uint8_t>& bytes) {
    if (Whole(m_size) == nullptr) return false;
    if (m_borrowed != nullptr) {
        bytes = *m_borrowed;
        return true;
    }
    bytes = std::move(m_whole);
    m_haswhole = false;
    return true;
}
