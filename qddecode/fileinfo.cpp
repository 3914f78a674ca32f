#include "qddecode/fileinfo.h"

#include <cstdio>

namespace {

int Word(const InfoRecord& record, int offset) {
    return record[offset] + 256 * record[offset + 1];
}

}  // namespace

std::string ShownName(const InfoRecord& record) {
    std::string name;
    for (int i = 0; i < kFileNameBytes; ++i) {
        const std::uint8_t byte = record[kInfoName + i];
        if (byte == '%') {
            name += "%%";
        } else if (byte < 0x20) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            name += escaped;
        } else {
            name += static_cast<char>(byte);
        }
    }
    return name;
}

void PrintFileInformation(Console& console, const InfoRecord& record) {
    console.Line("FILE INFORMATION");
    console.Out("NAME:%s\n", ShownName(record).c_str());
    console.Out("ATTR:%02X\n", record[kInfoAttribute]);
    console.Out("SIZE:%04X\n", Word(record, kInfoSize));
    console.Out("LOAD:%04X\n", Word(record, kInfoLoad));
    console.Out("EXEC:%04X\n", Word(record, kInfoExec));
    console.Out("\n");
}
