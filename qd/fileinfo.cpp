#include "qd/fileinfo.h"

#include <cstdio>

#include "common/littleendian.h"

namespace {

unsigned Word(const InfoRecord& record, int offset) {
    return Le16(&record[offset]);
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

std::string FileInformationText(const InfoRecord& record) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "ATTR:%02X\nSIZE:%04X\nLOAD:%04X\nEXEC:%04X\n\n",
                  record[kInfoAttribute], Word(record, kInfoSize), Word(record, kInfoLoad),
                  Word(record, kInfoExec));
    return "FILE INFORMATION\nNAME:" + ShownName(record) + "\n" + numbers;
}
