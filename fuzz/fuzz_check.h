#pragma once
// A broken invariant is a finding like a crash: say which, then abort() so
// libFuzzer keeps the input and the replay names it.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
