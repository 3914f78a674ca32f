#include "qdkit/kinds/kind.h"

const std::vector<const FileKind*>& Kinds() {
    // Kinds that carry a header first; the raw sides, told by a search of
    // their cells, before the tape files, told by their record chain.
    static const std::vector<const FileKind*> kinds = {
        &FdsKind(), &QdfKind(), &FdsRawKind(), &QdRawKind(), &MztKind(),
    };
    return kinds;
}

const FileKind* KindNamed(const std::string& name) {
    for (const FileKind* kind : Kinds()) {
        if (name == kind->name()) return kind;
    }
    return nullptr;
}
