// Writing a call's outputs without losing anything: each output goes to a
// temporary file in its folder and is moved into place once complete; an
// input of the same call is never replaced, an existing file only on
// request, and an output the call already wrote never.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/interrupt.h"

// An output's path: name in folder, or name alone when no folder is given
// (and "-", the standard output, as it is).
std::string OutputPath(const std::string& folder, const std::string& name);
// Whether something already goes by that name, for --no-clobber.
bool OutputExists(const std::string& path);

struct Output {
    std::string path;
    const std::vector<std::uint8_t>* bytes;
};

class OutputGuard {
public:
    OutputGuard(std::vector<std::string> inputs, bool force)
        : m_inputs(std::move(inputs)), m_force(force) {}

    // Why path may not be written for input, or empty when it may.
    std::string Refusal(const std::string& path, const std::string& input) const;
    // The input whose outputs this call wrote into folder, or empty.
    std::string WroteInto(const std::string& folder) const;
    // Writes all of input's outputs, or none of them; the error text when
    // that failed, with the system's reason, else empty. A lone output
    // named "-" goes to the standard output.
    std::string Write(const std::vector<Output>& outputs, const std::string& input);
    // As Write, interrupts held from the moment the first output goes into
    // place until the caller lets held go: its lines for them come first.
    std::string Write(const std::vector<Output>& outputs, const std::string& input,
                      std::optional<InterruptsHeld>& held);

private:
    std::vector<std::string> m_inputs;
    bool m_force;
    std::map<std::string, std::string> m_written;  // output, as the system names it: its input
};
