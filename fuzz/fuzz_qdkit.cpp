// qdkit's detection, every command's reading, and every conversion of the
// file to the other kinds of its medium, on any bytes. What a conversion
// writes without an error must read back as the kind it claims, and from a
// file without errors, without errors. The input's length picks one of
// info, verify and a conversion to one target, so that each input costs
// one command.
#include <cstdint>
#include <vector>

#include "qdkit/detect.h"
#include "qdkit/kinds/kind.h"
#include "qdkit/report.h"

namespace {

// The output is of its kind, and that kind's own reading finds no error
// where the input's found none (a faithful copy of a damaged side may hold
// the same damage).
void ReadsBack(const Bytes& bytes, const FileKind& claimed, bool clean) {
    Probe probe(bytes);
    if (RecogniseKind(probe) != &claimed) __builtin_trap();
    Bytes loaded;
    FileReport report("output");
    if (!claimed.Load(probe, loaded, report)) __builtin_trap();
    claimed.Inspect(loaded, report);
    if (clean && report.Failed()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Probe probe(Bytes(data, data + size));
    const FileKind* kind = RecogniseKind(probe);
    if (kind == nullptr) return 0;
    Bytes file;
    FileReport loaded("input");
    if (!kind->Load(probe, file, loaded)) return 0;
    FileReport info("input");
    kind->Inspect(file, info);
    const std::vector<const FileKind*> targets = TargetsOf(*kind);
    const std::size_t pick = size % (targets.size() + 1);
    if (pick == targets.size()) {
        FileReport verify("input");
        kind->Verify(file, verify);
        return 0;
    }
    FileReport read("input");
    const Content content = kind->Read(file, false, read);
    if (read.Failed()) return 0;
    const FileKind& target = *targets[pick];
    FileReport written("input");
    const std::vector<Produced> outputs = WriteAs(target, content, false, written);
    if (written.Failed()) return 0;
    for (const Produced& output : outputs) ReadsBack(output.bytes, target, !info.Failed());
    return 0;
}
