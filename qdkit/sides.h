// Raw sides read back through the kit's decoders, with everything their
// events tell kept for the report.
#pragma once

#include <cstdint>
#include <vector>

#include "fds/side_decoder.h"
#include "qd/side_decoder.h"

using Bytes = std::vector<std::uint8_t>;

struct FdsProblemSeen {
    FdsDecodeProblem problem;
    int a;
    int b;
};

struct FdsRawRead {
    FdsDecodeOutcome outcome;
    Bytes image;  // as the decoder leaves it: header, blocks, fill unless it failed
    std::vector<FdsBlockSeen> blocks;
    std::vector<FdsProblemSeen> problems;
};

FdsRawRead ReadFdsRaw(const Bytes& raw);

struct QdRawRead {
    QdDecodeResult result;
    int blockcount = -1;  // none seen
    std::vector<QdBlockSeen> blocks;
    std::vector<InfoRecord> infos;
    Bytes image;  // the QD image file the decoder's outputs make of the side
    Bytes mzt;    // and the MZT file
};

QdRawRead ReadQdRaw(const Bytes& raw);
