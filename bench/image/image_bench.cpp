// Decode time of picture files through image::decode, the file already in memory; no window.
#include "image.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: image-bench ROUNDS FILE...\n");
        return 2;
    }
    int rounds = std::atoi(argv[1]);
    for (int i = 2; i < argc; ++i) {
        std::vector<uint8_t> data;
        if (!image::readFile(argv[i], &data)) {
            std::printf("ERROR cannot read %s\n", argv[i]);
            return 1;
        }
        double best = 1e30, total = 0;
        for (int r = 0; r < rounds; ++r) {
            image::Pixels px;
            auto t0 = std::chrono::steady_clock::now();
            bool ok = image::decode(data.data(), data.size(), 16384, &px);
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            if (!ok) {
                std::printf("ERROR cannot decode %s\n", argv[i]);
                return 1;
            }
            best = ms < best ? ms : best;
            total += ms;
        }
        std::printf("%s %.2f ms best %.2f ms mean\n", argv[i], best, total / rounds);
    }
    return 0;
}
