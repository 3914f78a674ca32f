// Writing a call's outputs without losing anything: each output goes to a
// temporary file in its folder and is moved into place once complete; an
// input of the same call is never replaced, an existing file only on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class OutputGuard {
public:
    OutputGuard(std::vector<std::string> inputs, bool force)
        : m_inputs(std::move(inputs)), m_force(force) {}

    // Why path may not be written, or empty when it may.
    std::string Refusal(const std::string& path) const;
    // Writes bytes as path; the error text when that failed, else empty.
    std::string Write(const std::string& path, const std::vector<std::uint8_t>& bytes) const;

private:
    std::vector<std::string> m_inputs;
    bool m_force;
};
