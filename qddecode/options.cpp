#include "qddecode/options.h"

#include <cctype>
#include <cstring>

namespace {

bool IsOption(const char* arg) {
    if (arg[0] == '-') return true;
    return arg[0] == '/' && std::strpbrk(arg + 1, "/\\") == nullptr;
}

}  // namespace

QdCommandLine ParseQdCommandLine(int argc, const char* const* argv) {
    QdCommandLine line;
    bool named = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!IsOption(arg)) {
            if (!named) line.imagefile = arg;
            named = true;
            continue;
        }
        switch (std::toupper(static_cast<unsigned char>(arg[1]))) {
            case 'D':
                line.options.image = true;
                break;
            case 'S':
                line.options.split = true;
                break;
            case 'M':
                line.options.mzt = true;
                break;
            default:
                break;
        }
    }
    return line;
}
