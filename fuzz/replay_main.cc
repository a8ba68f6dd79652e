// replay_main.cc - runs a fuzz target over saved inputs, without libFuzzer:
// every file named on the command line, and every file in every directory
// named there.  The normal test run uses it to replay the regression inputs
// of fuzz/corpus/<target>/; an input that crashes or trips an invariant
// fails the test.  "--seeds DIR" writes the target's first inputs instead.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" void kvl_fuzz_write_seeds(const char *dir);

namespace fs = std::filesystem;

static void replay(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--seeds") {
        fs::create_directories(argv[2]);
        kvl_fuzz_write_seeds(argv[2]);
        return 0;
    }
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto &entry : fs::directory_iterator(arg))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else {
            inputs.push_back(arg);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path &input : inputs) replay(input);
    std::printf("replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
