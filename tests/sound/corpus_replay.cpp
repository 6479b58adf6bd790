// Decodes every file under the given folders; built with the sanitizers, any fault aborts the run.
#include "decode.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    size_t files = 0, decoded = 0;
    for (int i = 1; i < argc; ++i)
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i])) {
            if (!entry.is_regular_file()) continue;
            sound::Pcm pcm;
            decoded += sound::loadFile(entry.path().c_str(), &pcm);
            ++files;
        }
    std::printf("%zu files, %zu decoded\n", files, decoded);
    return files > 0 ? 0 : 1;
}
