#pragma once
// One picture file of any format, scanned: its parts, whether the user's
// choices change it, the plan of its cleaned copy, and the proof, before the
// copy gets its name, that the copy holds what the plan says and nothing the
// choices remove. A format is a class derived from this one; the batch step
// knows nothing else of it.

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "meta/clean/clean_policy.h"
#include "meta/clean/plan.h"
#include "store/file_io.h"

// A file that starts like a format but whose structure is broken, so what it
// holds is unknown: never cleaned, never copied as clean. The message names
// the format and what is wrong, not the file ("Damaged PNG file: ...").
class EDamagedFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that may well be sound, but whose layout no rewrite here can clean
// safely; the message says what stands in the way, not the file.
class ECannotClean : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The written copy is not what was planned; the message names the source.
class ECheckFailed : public std::runtime_error {
public:
    explicit ECheckFailed(const std::string& source);
};

class tPictureFile {
public:
    virtual ~tPictureFile() = default;

    virtual tFileType Type() const = 0;
    // The parts the scan found, in file order.
    const std::vector<tPart>& Parts() const { return FParts; }
    // True when cleaning with `choices` changes the file.
    virtual bool Removes(const tChoices& choices);
    // The cleaned copy for `choices`; it stays with this object until the next call.
    virtual const tPlan& Plan(const tChoices& choices) = 0;
    // Writes `plan` into `out` and checks it (CheckWritten); raises
    // ECheckFailed naming `source` when it does not hold.
    virtual void Write(const tPlan& plan, tPendingFile& out, const std::string& source, const tChoices& choices);

    // What the metadata says, for a listing; filled by a scan for one only.
    struct tTexts {
        std::string ExifTiff;  // the EXIF, from its TIFF header on
        std::string Xmp;       // the XMP packet
        std::vector<std::pair<std::string, std::string>> Lines;  // keyword, text (PNG text, movie keys)
    } Texts;

    // The file scanned, open until this object goes; -1 without one.
    virtual int SourceFd() const { return FSource.Get(); }
    // Bytes of that file the scan read and keeps (a movie's moov box); null when none.
    virtual const tFileBytes* KeptBytes() const { return nullptr; }

protected:
    // Reads the output open at `fd` as this format, for the check. `copied`
    // are the source's picture data parts the plan copies whole, at their
    // offsets in the output: the source's scan walked them, and they are its
    // bytes, so a scanner may step over them. Raises EDamagedFile when the
    // output cannot be read.
    virtual std::unique_ptr<tPictureFile> Reread(int fd, const std::vector<tPart>& copied) const;
    // The check before publish: every part the policy keeps (but those
    // Adjusted) is copied whole from the source, read again with this
    // format's scanner the output holds no part the choices remove, and it
    // follows the plan (OutputFollowsPlan; what the re-scan read, it reads
    // from there).
    bool CheckWritten(const tPlan& plan, int fd, const tChoices& choices) const;
    // A descriptor of its own on the output open at `fd`, for a re-scan to
    // own (reads are by offset), and the output's stat; EDamagedFile when
    // there is none.
    static tFileHandle OwnCopy(int fd, struct stat& st);
    std::vector<tPart> FParts;
    tFileHandle FSource;
};
