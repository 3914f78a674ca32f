#include "qdkit/kinds/kind.h"

const std::vector<const FileKind*>& Kinds() {
    // Kinds that carry a header first; the raw sides, told by a search of
    // their cells, before the tape files, told by their record chain.
    // A .qd image before the FDS image, whose headerless form it resembles.
    // The FDSStick and FDSemu layouts, told by a start mark before the disk
    // info block, before the raw sides, whose cells they are not.
    static const std::vector<const FileKind*> kinds = {
        &FdsQdKind(),  &FdsKind(),    &QdfKind(),   &HxcQdKind(), &MzqKind(),
        &FdsBinKind(), &FdsRawKind(), &QdRawKind(), &MztKind(),
    };
    return kinds;
}

const FileKind* KindNamed(const std::string& name) {
    for (const FileKind* kind : Kinds()) {
        if (name == kind->name()) return kind;
    }
    return nullptr;
}

std::vector<const FileKind*> TargetsOf(const FileKind& kind) {
    std::vector<const FileKind*> targets{KindNamed(kind.target())};
    for (const FileKind* other : Kinds()) {
        if (other != &kind && other != targets.front() && other->medium() == kind.medium())
            targets.push_back(other);
    }
    return targets;
}
