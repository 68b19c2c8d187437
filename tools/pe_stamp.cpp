// Build tool: stamps the integrity checksum into a finished executable, in place.
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "base/pe_checksum.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: pe_stamp FILE.exe\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    std::vector<uint8_t> image;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), in)) > 0) image.insert(image.end(), chunk, chunk + got);
    fclose(in);
    if (stampImage(image.data(), image.size()) != INTEGRITY_OK) {
        fprintf(stderr, "pe_stamp: %s is not a PE image\n", argv[1]);
        return 1;
    }
    FILE* out = fopen(argv[1], "r+b");
    if (!out || fwrite(image.data(), 1, image.size(), out) != image.size() || fclose(out) != 0) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
