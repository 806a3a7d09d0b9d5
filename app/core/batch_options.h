#pragma once
// What one batch run needs to know of the user's choices. The main window
// answers from its controls, the command line from its arguments.

#include <set>
#include <string>

#include "meta/clean/clean_policy.h"

class IBatchOptions {
public:
    virtual ~IBatchOptions() = default;
    virtual bool StripExif() const = 0;
    virtual bool StripCom() const = 0;
    virtual bool StripIptc() const = 0;
    // "Save to new folder:" rather than "Save using filename prefix:".
    virtual bool NewFolderMode() const = 0;
    // File-system bytes, never decoded.
    virtual std::string OutputFolder() const = 0;
    virtual std::string Prefix() const = 0;
    // "Copy unchanged files to target folder" available (new-folder mode) and ticked.
    virtual bool CopyUnchanged() const = 0;
    // The same box ticked, whether available or not; it picks the finished text.
    virtual bool CopyTicked() const = 0;
    // Wait until each output is on disk before its name appears; off only for
    // scratch outputs, where speed matters more than surviving a power cut.
    virtual bool FlushOutputs() const { return true; }
    // "Strip XMP and other metadata": XMP, the other APPn blocks, trailers.
    virtual bool StripOther() const { return false; }
    // With EXIF stripped, keep a minimal block with the picture's orientation.
    virtual bool KeepOrientation() const { return true; }
    // "Skip files that cannot be cleaned": a file that fails is left without
    // output and listed, and the run goes on; otherwise the first error ends it.
    virtual bool KeepGoing() const { return false; }
    // Outputs and unchanged copies get the source's last-write time. Off
    // unless asked for: when a photo was last changed can tell when it was taken.
    virtual bool KeepDates() const { return false; }
    // Ticked under File types: files whose content is of another type are
    // named as left alone. None ticked: the run does not start.
    virtual bool TypeTicked(tFileType type) const
    {
        (void)type;
        return true;
    }
};

// Options held as plain values (command line, tests).
struct TBatchSettings : IBatchOptions {
    bool Exif = true;
    bool Com = true;
    bool Iptc = true;
    bool NewFolder = false;
    std::string Output;
    std::string FilePrefix = "copy_";
    bool CopyAll = false;
    bool Flush = true;
    bool Other = false;
    bool Orientation = true;
    bool SkipFailed = false;
    bool FileDates = false;
    std::set<tFileType> Types{tFileType::Jpeg, tFileType::Png, tFileType::Webp, tFileType::Heif, tFileType::Video};

    bool StripExif() const override { return Exif; }
    bool StripCom() const override { return Com; }
    bool StripIptc() const override { return Iptc; }
    bool NewFolderMode() const override { return NewFolder; }
    std::string OutputFolder() const override { return Output; }
    std::string Prefix() const override { return FilePrefix; }
    bool CopyUnchanged() const override { return NewFolder && CopyAll; }
    bool CopyTicked() const override { return CopyAll; }
    bool FlushOutputs() const override { return Flush; }
    bool StripOther() const override { return Other; }
    bool KeepOrientation() const override { return Orientation; }
    bool KeepGoing() const override { return SkipFailed; }
    bool KeepDates() const override { return FileDates; }
    bool TypeTicked(tFileType type) const override { return Types.count(type) != 0; }
};

// The strip choices as the cleaning policy takes them.
inline tChoices ChoicesOf(const IBatchOptions& options)
{
    tChoices choices;
    choices.Exif = options.StripExif();
    choices.Comment = options.StripCom();
    choices.Iptc = options.StripIptc();
    choices.Other = options.StripOther();
    choices.KeepOrientation = options.KeepOrientation();
    return choices;
}
