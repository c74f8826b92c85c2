// Runs a fuzz target's LLVMFuzzerTestOneInput over files, as a plain
// program: each file named on the command line, or each file of each
// folder named. Used to replay the seed corpus in the tests on every
// build, Windows included.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    bool failed = false;
    int count = 0;
    for (int i = 1; i < argc; i++) {
        std::error_code error;
        std::vector<std::filesystem::path> files = {argv[i]};
        if (std::filesystem::is_directory(files[0], error))
            files.assign(std::filesystem::directory_iterator(files[0]), {});
        for (const std::filesystem::path &file : files) {
            if (file.filename().string().starts_with('.'))
                continue;
            count++;
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
                failed = true;
                continue;
            }
            const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(data.data(), data.size());
        }
    }
    std::printf("replayed %d inputs\n", count);
    return failed || count == 0;
}
