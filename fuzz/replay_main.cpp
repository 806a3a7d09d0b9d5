// Runs inputs through a fuzz target's entry point without libFuzzer, so any
// compiler can replay the seeds and every past failure: each file named, and
// each file below each folder named (names starting with "." left out).

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// The input being run, for the abort handler: a failed invariant, an uncaught
// exception and (with abort_on_error=1) a sanitizer report all end in abort().
const char* CurrentInput = "";

void NameInputAndAbort(int)
{
    const char* lead = "\nreplay: failed on ";
    ssize_t ignored = ::write(STDERR_FILENO, lead, std::strlen(lead));
    ignored = ::write(STDERR_FILENO, CurrentInput, std::strlen(CurrentInput));
    ignored = ::write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    std::signal(SIGABRT, SIG_DFL);
    std::raise(SIGABRT);
}

bool Hidden(const fs::path& p) { return p.filename().string().starts_with("."); }

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(arg))
                if (e.is_regular_file() && !Hidden(e.path())) files.push_back(e.path().string());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg.string());
        } else {
            std::fprintf(stderr, "%s: no such file or folder: %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    std::signal(SIGABRT, NameInputAndAbort);
    for (const std::string& name : files) {
        std::ifstream in(name, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], name.c_str());
            return 2;
        }
        CurrentInput = name.c_str();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%s: %zu inputs replayed\n", fs::path(argv[0]).filename().c_str(), files.size());
    return 0;
}
