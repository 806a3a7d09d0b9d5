// The movie scanner and planner over the box layer, as the batch run drives
// them: scan a file; when it scans, clean it with other metadata removed,
// write the copy (with the check before publish, which reads it again and
// finds nothing the choices remove) and compare it with the source. A
// refusal (EDamagedFile, ECannotClean) is a normal outcome; any other
// exception is a fault.
//
// Invariants of a written copy:
//  - it is as long as the source: no offset moved;
//  - every part kept as it stands is the source's bytes at the same offset;
//  - every removed box is zeros after its new free header, and every
//    removed track's sample is zeros;
//  - every other byte is the source's or a zero, but for at most 16 bytes of
//    free header per removed box.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_in_place.h"
#include "meta/movie/movie_file.h"

namespace {

namespace fs = std::filesystem;

const tFuzzScratch& Scratch()
{
    static const tFuzzScratch scratch("movie", "mov");
    return scratch;
}

std::unique_ptr<tMovieFile> Scan(const std::string& path)
{
    return ScanOrRefused<tMovieFile>(path);
}

bool Zeros(const std::string& bytes, size_t at, size_t n)
{
    return bytes.find_first_not_of('\0', at) >= at + n;
}

void CheckCopy(const tMovieFile& source, const std::string& in, const std::string& out, const tChoices& choices)
{
    Check(out.size() == in.size(), "the copy is as long as the source");
    size_t removed = 0;
    for (const tPart& part : source.Parts()) {
        if (part.Offset < 0 || part.Length <= 0) continue;
        const auto at = static_cast<size_t>(part.Offset), n = static_cast<size_t>(part.Length);
        const tFate fate = FateOf(part, choices);
        if (fate == tFate::Keep && !part.Adjusted) {
            Check(out.compare(at, n, in, at, n) == 0, "a kept part is the source's bytes where it stood");
        } else if (fate == tFate::Drop) {
            // A free header of 8 or 16 bytes, then zeros.
            Check(out.compare(at + 4, 4, "free") == 0, "a removed box becomes a free box");
            const size_t header = out.compare(at, 4, std::string("\0\0\0\1", 4)) == 0 ? 16 : 8;
            Check(Zeros(out, at + header, n - header), "a removed box holds zeros");
            ++removed;
        } else if (fate == tFate::Rewrite) {
            Check(Zeros(out, at, n), "the times are zeros");
        }
    }
    for (const tMovieFile::tRange& r : source.MetadataSamples())
        Check(Zeros(out, static_cast<size_t>(r.Offset), static_cast<size_t>(r.Length)),
              "a removed track's samples are zeros");
    size_t changed = 0;
    for (size_t i = 0; i < in.size(); ++i) changed += out[i] != in[i] && out[i] != '\0';
    Check(changed <= 16 * removed, "every other byte is the source's or a zero");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const tFuzzScratch& scratch = Scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteFile(scratch.Source, input);
    std::unique_ptr<tMovieFile> source = Scan(scratch.Source);
    if (!source) return 0;
    tChoices other;
    other.Exif = other.Other = true;
    if (!source->Removes(other)) return 0;
    const tPlan* plan = nullptr;
    try {
        plan = &source->Plan(other);
    } catch (const ECannotClean&) {
        return 0;  // too much to zero in memory
    }
    const auto folder = std::make_shared<const tOutputFolder>(scratch.Dir, scratch.Dir + "/out", true);
    tPendingFile out(folder, scratch.Dir + "/out");
    // The check before publish re-reads the copy as a movie and finds nothing the choices remove.
    source->Write(*plan, out, scratch.Source, other);
    CheckCopy(*source, input, ReadCopy(out.Fd()), other);
    return 0;
}
