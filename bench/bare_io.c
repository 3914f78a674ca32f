/* The floor every program is measured against: reads a file whole and
   writes a file of the given size (default: the input's) with one write. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: bare_io input output [bytes]\n", stderr);
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (in == NULL || fseek(in, 0, SEEK_END) != 0) return 1;
    const long size = ftell(in);
    if (size < 0 || fseek(in, 0, SEEK_SET) != 0) return 1;
    const long outsize = argc > 3 ? atol(argv[3]) : size;
    const long total = size > outsize ? size : outsize;
    unsigned char* buffer = calloc((size_t)total + 1, 1);
    if (buffer == NULL || fread(buffer, 1, (size_t)size, in) != (size_t)size) return 1;
    fclose(in);
    FILE* out = fopen(argv[2], "wb");
    if (out == NULL) return 1;
    const int written = fwrite(buffer, 1, (size_t)outsize, out) == (size_t)outsize;
    free(buffer);
    return fclose(out) == 0 && written ? 0 : 1;
}
