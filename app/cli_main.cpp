// zorezaz-cli: the batch run without a window, for scripts and servers. It runs
// the same engine as the OK button and prints the status line's texts.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/metadata_listing.h"
#include "app/error_text.h"

namespace {

constexpr const char* kUsage =
    "Usage: zorezaz-cli START [--subfolders] [--exif] [--com] [--iptc] [--other]\n"
    "                   [--drop-orientation] (--prefix TEXT | --out DIR [--copy-unchanged])\n"
    "                   [--no-flush]\n"
    "       zorezaz-cli --list [--exif] [--com] [--iptc] [--other] FILE...\n"
    "\n"
    "Removes metadata from every *.jpg and *.jpeg file in the folder START,\n"
    "losslessly: the image data is copied byte for byte and source files are\n"
    "never overwritten.\n"
    "\n"
    "  --subfolders      also walk the folders below START\n"
    "  --exif            strip EXIF tags (the APP1 block)\n"
    "  --com             strip the COM text (an empty comment takes its place)\n"
    "  --iptc            strip IPTC info (the APP13 block keeps no datasets)\n"
    "  --other           strip XMP and other metadata: XMP, the other APPn blocks\n"
    "                    of cameras and programs, and whatever follows the picture\n"
    "                    (trailers, appended video); colour profiles, HDR gain maps\n"
    "                    and the further pictures of a multi-picture file stay\n"
    "  --drop-orientation  with --exif: do not keep the picture's orientation (by\n"
    "                    default a minimal EXIF block keeps it, so rotated photos\n"
    "                    are shown upright)\n"
    "  --prefix TEXT     save each cleaned file beside its source, named TEXT\n"
    "                    followed by the source's name (TEXT may be empty)\n"
    "  --out DIR         save every cleaned file flat into DIR under its own name;\n"
    "                    DIR is created when missing (one level only)\n"
    "  --copy-unchanged  with --out: copy files without metadata into DIR as well\n"
    "  --no-flush        do not wait until each output is on disk before it gets\n"
    "                    its name (for scratch outputs: after a crash or power cut\n"
    "                    an output may be incomplete)\n"
    "  --list            show what each FILE holds (head segments, EXIF, maker\n"
    "                    note, IPTC, XMP, comment, further pictures, trailer)\n"
    "                    and what the strip options given would remove\n"
    "  --help            show this text\n"
    "\n"
    "At least one of --exif, --com, --iptc and --other is needed. A name already taken\n"
    "gets _1, _2, ... before its extension. The program prints \"Processing \"\n"
    "and the name of each file it reads, then the totals. An error ends the run;\n"
    "its message goes to standard error and the exit status is 1 (2 for wrong\n"
    "arguments).\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "zorezaz-cli: %s\nTry 'zorezaz-cli --help'.\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
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
    if (havePrefix == haveOut) return UsageError("give either --prefix TEXT or --out DIR");
    if (options.CopyAll && !haveOut) return UsageError("--copy-unchanged goes with --out");
    options.NewFolder = haveOut;

    TBatchRun run(options);
    run.OnStatus = [](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    try {
        run.Execute(start, subfolders);
    } catch (const std::exception& e) {
        const std::string text = ErrorBoxText(e.what());
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
        return 1;
    }
    return 0;
}
