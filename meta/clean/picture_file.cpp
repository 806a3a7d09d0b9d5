#include "meta/clean/picture_file.h"

ECheckFailed::ECheckFailed(const std::string& source)
    : std::runtime_error("Cannot clean " + source + ": the written file did not match what was planned")
{
}

bool tPictureFile::Removes(const tChoices& choices)
{
    return RemovesAny(FParts, choices);
}

std::unique_ptr<tPictureFile> tPictureFile::Reread(int) const
{
    return nullptr;
}

void tPictureFile::Write(const tPlan& plan, tPendingFile& out, const std::string& source, const tChoices& choices)
{
    WritePlan(plan, out, Head());
    if (!CheckWritten(plan, out.Fd(), choices)) throw ECheckFailed(source);
}

bool tPictureFile::CheckWritten(const tPlan& plan, int fd, const tChoices& choices) const
{
    if (!OutputMatches(plan, fd)) return false;
    try {
        const std::unique_ptr<tPictureFile> written = Reread(fd);
        return written && !RemovesAny(written->Parts(), choices);
    } catch (const std::exception&) {
        // What was written cannot be read back: it is no match either.
        return false;
    }
}
