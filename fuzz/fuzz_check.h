#pragma once
// A broken invariant is a finding like a crash: say which, then abort() so
// libFuzzer keeps the input and the replay names it.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <stdlib.h>

inline void Check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "fuzz invariant failed: %s\n", what);
    std::abort();
}

// One folder per process for a target's source and copy, removed at exit.
// `extension` names the files: source.EXT and target.EXT.
class tFuzzScratch {
public:
    tFuzzScratch(const char* target, const char* extension)
    {
        namespace fs = std::filesystem;
        std::string tmpl = (fs::temp_directory_path() / (std::string("zorezaz-fuzz-") + target + "-XXXXXX")).string();
        Check(::mkdtemp(tmpl.data()) != nullptr, "a scratch folder can be made");
        Dir = tmpl;
        Source = Dir + "/source." + extension;
        Target = Dir + "/target." + extension;
    }
    ~tFuzzScratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    tFuzzScratch(const tFuzzScratch&) = delete;
    tFuzzScratch& operator=(const tFuzzScratch&) = delete;
    // Empties the folder between inputs.
    void RemoveFiles() const
    {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Dir, ec)) std::filesystem::remove(e.path(), ec);
    }
    std::string Dir, Source, Target;
};

// A target's source, written for the library to read as a file.
inline void WriteFile(const std::string& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out), "the source can be written");
}

inline std::string ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
