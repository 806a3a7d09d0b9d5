// zorezaz-cli: the batch run without a window, for scripts and servers. It runs
// the same engine as the OK button and prints the status line's texts.

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <signal.h>

#include "app/core/batch_run.h"
#include "app/core/metadata_listing.h"
#include "app/core/error_text.h"
#include "meta/formats/formats.h"

namespace {

constexpr const char* kUsage =
    "Usage: zorezaz-cli START [--subfolders] [--exif] [--com] [--iptc] [--other]\n"
    "                   [--drop-orientation] (--prefix TEXT | --out DIR [--copy-unchanged])\n"
    "                   [--types LIST] [--keep-dates] [--keep-going] [--no-flush]\n"
    "       zorezaz-cli --list [--exif] [--com] [--iptc] [--other] FILE...\n"
    "\n"
    "Removes metadata from the pictures and videos in the folder START (JPEG:\n"
    "*.jpg and *.jpeg; PNG: *.png; WebP: *.webp; HEIC/AVIF: *.heic, *.heif,\n"
    "*.hif and *.avif; videos: *.mov, *.mp4, *.m4v and *.3gp), losslessly:\n"
    "the image data is copied byte for byte and source files are never\n"
    "overwritten. A file's content decides, not its name: a PNG named .jpg is\n"
    "cleaned as a PNG and keeps its name; one that is no such picture is left\n"
    "alone (\"not a picture Zorezaz can clean\"), and so is one of a type\n"
    "--types leaves out (\"type not ticked under File types\") and every\n"
    "picture of other types (.gif .tif .tiff .bmp: \"type not supported\"):\n"
    "neither cleaned nor copied, each named on standard error as \"Left alone\n"
    "FILE: REASON\" and counted in the totals.\n"
    "\n"
    "  --subfolders      also walk the folders below START\n"
    "  --types LIST      clean only pictures of these types, a comma list of\n"
    "                    jpeg, png, webp, heif and video (default: all five)\n"
    "  --exif            strip EXIF tags (the APP1 block)\n"
    "  --com             strip the COM text (an empty comment takes its place)\n"
    "  --iptc            strip IPTC info (the APP13 block keeps no datasets)\n"
    "  --other           strip XMP and other metadata: XMP, the other APPn blocks\n"
    "                    of cameras and programs, and whatever follows the picture\n"
    "                    (trailers, appended video); colour profiles, HDR gain maps\n"
    "                    and the further pictures of a multi-picture file stay;\n"
    "                    a video loses its place, phone, software, its times and\n"
    "                    its timed metadata tracks, in place\n"
    "  --drop-orientation  with --exif: do not keep the picture's orientation (by\n"
    "                    default a minimal EXIF block keeps it, so rotated photos\n"
    "                    are shown upright)\n"
    "  --prefix TEXT     save each cleaned file beside its source, named TEXT\n"
    "                    followed by the source's name (TEXT may be empty, but\n"
    "                    may not contain \"/\")\n"
    "  --out DIR         save every cleaned file flat into DIR under its own name;\n"
    "                    DIR is created when missing (one level only)\n"
    "  --copy-unchanged  with --out: copy files without metadata into DIR as well\n"
    "  --keep-dates      give outputs and unchanged copies the source's last-write\n"
    "                    time (by default they get the time they are written: when\n"
    "                    a photo was last changed can tell when it was taken)\n"
    "  --keep-going      skip files that cannot be cleaned: each is left without\n"
    "                    output, reported as \"Skipped FILE: REASON\" on standard\n"
    "                    error, and the run goes on\n"
    "  --no-flush        do not wait until each output is on disk before it gets\n"
    "                    its name (for scratch outputs: after a crash or power cut\n"
    "                    an output may be incomplete)\n"
    "  --list            show what each FILE holds (head segments, EXIF, maker\n"
    "                    note, IPTC, XMP, comment, further pictures, trailer)\n"
    "                    and what the strip options given would remove\n"
    "  --help            show this text\n"
    "\n"
    "At least one of --exif, --com, --iptc and --other is needed. A file counts as\n"
    "processed (changed) only when the chosen options remove something from it; a\n"
    "file that holds none of it (such as an earlier output) is unchanged. A name\n"
    "already taken gets _1, _2, ... before its extension, unless it already holds\n"
    "exactly what this run would write: then the file counts as already clean and\n"
    "nothing is written, so a run that was stopped or failed can simply be run\n"
    "again: \"Done  (2 files processed, 4 already clean, 1 skipped, 3 files of\n"
    "other types left alone)\".\n"
    "\n"
    "The program prints \"Processing \" and the name of each file it reads, then\n"
    "the totals. Interrupted (Ctrl+C, SIGTERM), it finishes the file in hand,\n"
    "gives every written file its name, prints \"Stopped  (...)\" and exits;\n"
    "a second interrupt ends it at once (the next run removes what it left).\n"
    "\n"
    "Exit status: 0 done; 1 an error ended the run (its message goes to standard\n"
    "error); 2 wrong arguments; 3 done, but files were skipped (--keep-going);\n"
    "130 stopped by SIGINT; 143 stopped by SIGTERM. Files left alone are no\n"
    "failure: with nothing else, the status is 0.\n";

// Set by the signal handlers: async-signal-safe, lock-free atomics only.
std::atomic<TBatchRun*> gRun{nullptr};
volatile std::sig_atomic_t gSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    gSignal = signal;
    if (TBatchRun* run = gRun.load()) run->Stop();
}

// SIGINT and SIGTERM end the run after the file in hand; the handler is
// reset by its first call, so a second signal ends the program at once.
void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void PrintLine(std::FILE* to, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "zorezaz-cli: %s\nTry 'zorezaz-cli --help'.\n", message.c_str());
    return 2;
}

// The types of a --types list ("jpeg,png"), or the usage error's message.
std::string ParseTypes(const std::string& list, std::set<tFileType>& types)
{
    types.clear();
    size_t from = 0;
    while (true) {
        const size_t comma = std::min(list.find(',', from), list.size());
        const std::string word = list.substr(from, comma - from);
        const auto known = std::find_if(Formats().begin(), Formats().end(),
                                        [&](const tFormat& f) { return word == f.Option; });
        if (known == Formats().end())
            return word.empty() ? "--types needs a comma list of jpeg, png, webp, heif and video"
                                : "unknown type " + word + " in --types (jpeg, png, webp, heif, video)";
        types.insert(known->Type);
        if (comma == list.size()) return {};
        from = comma + 1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    KeepFreedMemory();
    TBatchSettings options;
    options.Exif = options.Com = options.Iptc = options.Other = false;
    std::string start;
    bool haveStart = false, subfolders = false, havePrefix = false, haveOut = false, optionsEnded = false;
    bool list = false;
    std::vector<std::string> files;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
            if (list) continue;
            if (haveStart) return UsageError("more than one start folder given");
            start = arg;
            haveStart = true;
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--subfolders") {
            subfolders = true;
        } else if (arg == "--exif") {
            options.Exif = true;
        } else if (arg == "--com") {
            options.Com = true;
        } else if (arg == "--iptc") {
            options.Iptc = true;
        } else if (arg == "--copy-unchanged") {
            options.CopyAll = true;
        } else if (arg == "--other") {
            options.Other = true;
        } else if (arg == "--drop-orientation") {
            options.Orientation = false;
        } else if (arg == "--no-flush") {
            options.Flush = false;
        } else if (arg == "--keep-dates") {
            options.FileDates = true;
        } else if (arg == "--keep-going") {
            options.SkipFailed = true;
        } else if (arg == "--types") {
            if (i + 1 >= argc) return UsageError(arg + " needs a value");
            const std::string error = ParseTypes(argv[++i], options.Types);
            if (!error.empty()) return UsageError(error);
        } else if (arg == "--prefix" || arg == "--out") {
            if (i + 1 >= argc) return UsageError(arg + " needs a value");
            if (arg == "--prefix") {
                options.FilePrefix = argv[++i];
                havePrefix = true;
            } else {
                options.Output = argv[++i];
                haveOut = true;
            }
        } else {
            return UsageError("unknown option " + arg);
        }
    }
    if (list) {
        if (files.empty()) return UsageError("--list needs a file");
        for (const std::string& file : files) {
            const std::string text = DescribeFile(file, options);
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
        return 0;
    }
    if (!haveStart) return UsageError("no start folder given");
    if (!options.Exif && !options.Com && !options.Iptc && !options.Other)
        return UsageError("nothing to do: give at least one of --exif, --com, --iptc and --other");
    if (havePrefix == haveOut) return UsageError("give either --prefix TEXT or --out DIR");
    if (options.CopyAll && !haveOut) return UsageError("--copy-unchanged goes with --out");
    options.NewFolder = haveOut;

    TBatchRun run(options);
    run.OnStatus = [](const std::string& text) { PrintLine(stdout, text); };
    run.OnSkipped = [](const tSkipped& skipped) { PrintLine(stderr, "Skipped " + skipped.Line()); };
    // Always named, so no folder of other pictures passes for cleaned.
    run.OnLeftAlone = [](const tSkipped& left) { PrintLine(stderr, "Left alone " + left.Line()); };
    gRun = &run;
    InstallStopHandlers();
    int status = 0;
    try {
        run.Execute(start, subfolders);
        if (!run.Skipped.empty()) status = 3;
    } catch (const std::exception& e) {
        PrintLine(stderr, ErrorBoxText(e.what()));
        status = 1;
    }
    gRun = nullptr;
    // Stopped by a signal: the shell's status for it (128 + its number).
    if (run.Stopped() && gSignal != 0) return 128 + gSignal;
    return status;
}
