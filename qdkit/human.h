// `qdkit info` for people: a compact aligned table per file on the
// standard output, made from the same facts as the JSON document.
#pragma once

#include "qdkit/report.h"

void PrintHuman(const FileReport& report);
