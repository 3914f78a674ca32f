#include "qd/fileinfo.h"

#include <cstdio>

#include "common/littleendian.h"

namespace {

unsigned Word(const QdInfoRecord& record, int offset) {
    return Le16(&record[offset]);
}

}  // namespace

std::string ShownName(const QdInfoRecord& record) {
    std::string name;
    for (int i = 0; i < kQdFileNameBytes; ++i) {
        const std::uint8_t byte = record[kQdInfoName + i];
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

std::string FileInformationText(const QdInfoRecord& record) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "ATTR:%02X\nSIZE:%04X\nLOAD:%04X\nEXEC:%04X\n\n",
                  record[kQdInfoAttribute], Word(record, kQdInfoSize), Word(record, kQdInfoLoad),
                  Word(record, kQdInfoExec));
    return "FILE INFORMATION\nNAME:" + ShownName(record) + "\n" + numbers;
}
