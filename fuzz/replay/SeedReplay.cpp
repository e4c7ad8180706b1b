// Runs a fuzz target's entry function once on the empty input and once on
// every file named or found in a named folder, without the fuzzing engine:
// the seeds and the inputs that once found a fault stay checked by CTest in
// every ordinary (and sanitizer) build.
//
//   fuzz_<name>_replay FILE_OR_FOLDER...

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

void RunFile(const fs::path& file, int& count) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++count;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    static const uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(&kNothing, 0);
    for (int i = 1; i < argc; ++i) {
        fs::path path = argv[i];
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(path, ec)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                RunFile(file, count);
            }
        } else if (fs::is_regular_file(path, ec)) {
            RunFile(path, count);
        } else {
            std::fprintf(stderr, "%s: no such file or folder\n", path.c_str());
            return 2;
        }
    }
    std::printf("%d inputs passed\n", count);
    return 0;
}
