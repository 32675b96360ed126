// Feeds saved inputs to a fuzz target's entry point, so that the regular test run
// replays each seed corpus and every crash input kept after its fix in seconds.
//
// Usage: fuzz_replay_<target> PATH...
// A PATH is a file or a folder of inputs (files whose names start with '.' are
// skipped); a folder that does not exist holds none. No input at all is an error, so a
// misspelt corpus folder cannot pass as a replay.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_input.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsIn(const fs::path& path)
{
    if (!fs::is_directory(path))
        return fs::is_regular_file(path) ? std::vector<fs::path>{path} : std::vector<fs::path>{};
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(path))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end()); // the same order on every run
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> found = inputsIn(argv[i]);
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        const std::vector<char> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A buffer of exactly the input's size, as libFuzzer passes it.
        const std::vector<std::uint8_t> bytes(read.begin(), read.end());
        std::fprintf(stderr, "replaying %s\n", input.c_str());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
