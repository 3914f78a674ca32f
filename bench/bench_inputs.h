// The benchmark's full-side inputs, the same in memory and on disk.
#pragma once

#include "samples/imagegen.h"

// Two sides whose areas are nearly full: eight files of 8100 bytes leave a
// side stream 158 bytes short of full.
ByteVector FullFdsImage();
// Records that fill a QD side: four of 18000 bytes leave it 136 bytes short.
ByteVector FullMztFile();
