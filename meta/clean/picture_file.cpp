#include "meta/clean/picture_file.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include <fcntl.h>

ECheckFailed::ECheckFailed(const std::string& source)
    : std::runtime_error("Cannot clean " + source + ": the written file did not match what was planned")
{
}

bool tPictureFile::Removes(const tChoices& choices)
{
    return RemovesAny(FParts, choices);
}

std::unique_ptr<tPictureFile> tPictureFile::Reread(int, const std::vector<tPart>&) const
{
    return nullptr;
}

void tPictureFile::Write(const tPlan& plan, tPendingFile& out, const std::string& source, const tChoices& choices)
{
    WritePlan(plan, out);
    if (!CheckWritten(plan, out.Fd(), choices)) throw ECheckFailed(source);
}

tFileHandle tPictureFile::OwnCopy(int fd, struct stat& st)
{
    tFileHandle copy(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (copy.Get() < 0 || ::fstat(copy.Get(), &st) != 0) throw EDamagedFile("the written file cannot be read");
    return copy;
}

bool tPictureFile::CheckWritten(const tPlan& plan, int fd, const tChoices& choices) const
{
    // Every part the policy keeps goes out whole, copied from the source.
    std::vector<std::pair<int64_t, int64_t>> ranges;
    for (const tPlan::tPiece& piece : plan.Pieces)
        if (piece.Offset >= 0) ranges.emplace_back(piece.Offset, piece.Offset + piece.Length);
    std::sort(ranges.begin(), ranges.end());
    for (const tPart& part : FParts) {
        if (part.Offset < 0 || part.Length <= 0 || part.Adjusted || FateOf(part, choices) != tFate::Keep) continue;
        auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(part.Offset, INT64_MAX));
        if (after == ranges.begin() || std::prev(after)->second < part.Offset + part.Length) return false;
    }
    std::vector<tPart> copied;
    int64_t at = 0;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        for (const tPart& part : FParts) {
            if (piece.Offset < 0 || part.Kind != tPartKind::Picture || part.Offset < piece.Offset ||
                part.Offset + part.Length > piece.Offset + piece.Length)
                continue;
            copied.push_back(part);
            copied.back().Offset = at + part.Offset - piece.Offset;
        }
        at += piece.Offset >= 0 ? piece.Length : static_cast<int64_t>(piece.Bytes.size());
    }
    std::unique_ptr<tPictureFile> written;
    try {
        written = Reread(fd, copied);
    } catch (const std::exception&) {
        // What was written cannot be read back: it is no match either.
        return false;
    }
    return written && !RemovesAny(written->Parts(), choices) && OutputFollowsPlan(plan, fd, written->KeptBytes());
}
