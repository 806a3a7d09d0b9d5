// A PNG cleaned as the batch run does it, with each of a few choice sets:
// scan arbitrary bytes (for a listing, so the text paths run too); when they
// scan, plan, write and check a copy, then walk the copy with a reader of
// this target's own.
//
// Invariants of a copy:
//  - it scans, and the scan finds no part the choices remove;
//  - its chunks but eXIf are exactly the source's that the choices keep,
//    byte for byte and in order (picture data, colour profile, frames);
//  - with EXIF chosen, an eXIf in it is the orientation alone; a chunk that
//    is not the source's has a right CRC;
//  - bytes after IEND are the source's, or gone with "other".
// A file found to need no cleaning holds none of what the choices remove:
// the batch run would copy it as it stands.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "meta/png/png_file.h"
#include "tests/support/png_fixtures.h"

namespace {

namespace fs = std::filesystem;
using fixture::HoldsRemoved;
using fixture::tPngChunkAt;

struct tScratch {
    tScratch()
    {
        std::string tmpl = (fs::temp_directory_path() / "zorezaz-fuzz-png-XXXXXX").string();
        Check(::mkdtemp(tmpl.data()) != nullptr, "a scratch folder can be made");
        Dir = tmpl;
    }
    ~tScratch()
    {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    std::string Dir;
};

const std::string& Folder()
{
    static const tScratch scratch;
    return scratch.Dir;
}

std::unique_ptr<tPictureFile> Scan(const std::string& path, bool listing)
{
    struct stat st;
    tFileHandle file(OpenForReading(path, st));
    return ScanPng(std::move(file), st, path, listing);
}

size_t EndOfChunks(const std::vector<tPngChunkAt>& chunks)
{
    return chunks.empty() ? 8 : chunks.back().Offset + chunks.back().Bytes.size();
}

void CheckCopy(const std::string& input, const std::string& output, const tChoices& choices)
{
    const std::string target = Folder() + "/target.png";
    const std::unique_ptr<tPictureFile> again = Scan(target, false);
    Check(!RemovesAny(again->Parts(), choices), "a re-scan finds nothing the choices remove");
    const std::vector<tPngChunkAt> in = fixture::WalkPng(input), out = fixture::WalkPng(output);
    std::vector<std::string> expected, got;
    for (const tPngChunkAt& c : in)
        if (c.Type != "eXIf" && !HoldsRemoved(c, choices)) expected.push_back(c.Bytes);
    const auto fromSource = [&](const tPngChunkAt& c) {
        return std::any_of(in.begin(), in.end(), [&](const tPngChunkAt& i) { return i.Bytes == c.Bytes; });
    };
    for (const tPngChunkAt& c : out) {
        // Kept chunks are copied as they stand, CRC and all; a new one is right.
        Check(fromSource(c) || c.CrcRight(), "a new chunk's CRC is right");
        Check(!HoldsRemoved(c, choices), "no chunk of a removed kind");
        if (c.Type != "eXIf") got.push_back(c.Bytes);
    }
    Check(expected == got, "the kept chunks are the source's, byte for byte");
    Check(!out.empty() && out.back().Type == "IEND", "the copy ends with IEND");
    const std::string trailer = input.substr(EndOfChunks(in));
    Check(output.substr(EndOfChunks(out)) == (choices.Other ? std::string() : trailer),
          "bytes after IEND are kept, or gone with other");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string source = Folder() + "/source.png", target = Folder() + "/target.png";
    WriteFile(source, input);
    std::unique_ptr<tPictureFile> picture;
    try {
        picture = Scan(source, true);
    } catch (const EDamagedFile&) {
        return 0;
    }
    for (const auto& [text, line] : picture->Texts.Lines)
        Check(line.size() <= 2 * kMaxShownText, "a listed text stays within its cap");
    // Everything with the orientation kept; EXIF alone; other alone; comment and IPTC.
    tChoices sets[4];
    sets[0].Exif = sets[0].Comment = sets[0].Iptc = sets[0].Other = sets[0].KeepOrientation = true;
    sets[1].Exif = true;
    sets[2].Other = true;
    sets[3].Comment = sets[3].Iptc = true;
    for (const tChoices& choices : sets) {
        if (!picture->Removes(choices)) {
            for (const tPngChunkAt& c : fixture::WalkPng(input))
                Check(!HoldsRemoved(c, choices), "a file left as it is holds nothing the choices remove");
            continue;
        }
        const tPlan& plan = picture->Plan(choices);
        {
            const auto folder = std::make_shared<const tOutputFolder>(Folder(), target, true);
            tPendingFile out(folder, target, plan.SourceMode);
            picture->Write(plan, out, source, choices);
            out.Publish(NameOf(target), true);
        }
        CheckCopy(input, ReadFile(target), choices);
        fs::remove(target);
    }
    return 0;
}
