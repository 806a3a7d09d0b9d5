// The HEIF scanner and planner over the box layer, as the batch run drives
// them: scan a file; when it scans, clean it with EXIF, with other metadata
// and with both removed, write the copy (with the check before publish) and
// read it again. A refusal (EDamagedFile, ECannotClean) is a normal outcome; any other
// exception is a fault.
//
// Invariants of a written copy:
//  - it is as long as the source: no offset moved;
//  - read again, it holds no item or box the choices remove;
//  - every kept item's bytes outside the meta box are the source's, where
//    they stood; every removed item's bytes outside it are zeros;
//  - outside the meta box, every byte is the source's or a zero (a blanked
//    payload) or part of a blanked box's new free header.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_in_place.h"
#include "meta/heif/heif_file.h"

namespace {

namespace fs = std::filesystem;

const tFuzzScratch& Scratch()
{
    static const tFuzzScratch scratch("heif", "heic");
    return scratch;
}

std::unique_ptr<tHeifFile> Scan(const std::string& path)
{
    return ScanOrRefused<tHeifFile>(path);
}

void CheckCopy(const tHeifFile& source, const std::string& in, const std::string& out, const tChoices& choices)
{
    Check(out.size() == in.size(), "the copy is as long as the source");
    // Where the meta box stands, whose contents move when its tables shrink.
    int64_t metaBegin = 0, metaEnd = 0;
    {
        const int fd = ::open(Scratch().Source.c_str(), O_RDONLY | O_CLOEXEC);
        tBoxReader reader(fd, static_cast<int64_t>(in.size()));
        for (const tBox& box : reader.TopLevel())
            if (box.Type == FourCC("meta")) {
                metaBegin = box.Offset;
                metaEnd = box.End();
            }
        ::close(fd);
    }
    auto outsideMeta = [&](int64_t at, int64_t n) { return at + n <= metaBegin || at >= metaEnd; };
    for (const tHeifFile::tItem& item : source.Items()) {
        tPart part;
        part.Kind = item.Kind;
        const bool gone = FateOf(part, choices) != tFate::Keep;
        for (const tHeifFile::tExtent& e : item.Extents) {
            if (!outsideMeta(e.Offset, e.Length)) continue;
            const auto at = static_cast<size_t>(e.Offset), n = static_cast<size_t>(e.Length);
            if (gone)
                Check(out.compare(at, n, std::string(n, '\0')) == 0, "a removed item's bytes are zeros");
            else
                Check(out.compare(at, n, in, at, n) == 0, "a kept item's bytes are the source's");
        }
    }
    size_t changed = 0;
    for (size_t i = 0; i < in.size(); ++i)
        if (outsideMeta(static_cast<int64_t>(i), 1) && out[i] != in[i] && out[i] != '\0') ++changed;
    // A blanked box gets a free header: at most 16 bytes of it differ, per blanked box.
    size_t blanked = 0;
    for (const tPart& part : source.Parts())
        if (part.Kind == tPartKind::Other && part.Name.find(" item ") == std::string::npos && choices.Other) ++blanked;
    Check(changed <= 16 * blanked, "outside meta, every byte is the source's or a zero");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const tFuzzScratch& scratch = Scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteFile(scratch.Source, input);
    std::unique_ptr<tHeifFile> source = Scan(scratch.Source);
    if (!source) return 0;
    tChoices exif, other, both;
    exif.Exif = true;
    other.Other = true;
    both.Exif = both.Other = true;
    both.KeepOrientation = true;
    for (const tChoices& choices : {exif, other, both}) {
        if (!source->Removes(choices)) continue;
        const tPlan& plan = source->Plan(choices);
        const auto folder = std::make_shared<const tOutputFolder>(scratch.Dir, scratch.Dir + "/out", true);
        tPendingFile out(folder, scratch.Dir + "/out");
        // The check before publish re-reads the copy as HEIF and finds nothing the choices remove.
        source->Write(plan, out, scratch.Source, choices);
        CheckCopy(*source, input, ReadCopy(out.Fd()), choices);
    }
    return 0;
}
