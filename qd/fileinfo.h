// One file's information record as the kit shows it.
#pragma once

#include <string>

#include "qd/qd_layout.h"

// All 17 name bytes: '%' doubled, control bytes as %XX, the rest as is.
std::string ShownName(const QdInfoRecord& record);
// The seven lines: a title, the name, attribute, size, load and execution
// addresses, and a blank line.
std::string FileInformationText(const QdInfoRecord& record);
