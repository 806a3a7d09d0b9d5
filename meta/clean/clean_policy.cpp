#include "meta/clean/clean_policy.h"

#include <algorithm>

tFate FateOf(const tPart& part, const tChoices& choices)
{
    switch (part.Kind) {
    case tPartKind::Exif:
        if (!choices.Exif) return tFate::Keep;
        // The orientation is how the picture is shown: with it wanted, a
        // block of the orientation alone is what a cleaned file holds.
        if (choices.KeepOrientation && part.Orientation > 1)
            return part.NothingToRemove ? tFate::Keep : tFate::Rewrite;
        return tFate::Drop;
    case tPartKind::Comment: return choices.Comment ? tFate::Drop : tFate::Keep;
    case tPartKind::Iptc:
        if (!choices.Iptc) return tFate::Keep;
        return part.KeepsSomething ? tFate::Rewrite : tFate::Drop;
    case tPartKind::Other:
        if (!choices.Other) return tFate::Keep;
        return part.KeepsSomething ? tFate::Rewrite : tFate::Drop;
    case tPartKind::Display:
    case tPartKind::Picture: return tFate::Keep;
    }
    return tFate::Keep;
}

bool Removes(const tPart& part, const tChoices& choices)
{
    return FateOf(part, choices) != tFate::Keep && !part.NothingToRemove;
}

bool RemovesAny(const std::vector<tPart>& parts, const tChoices& choices)
{
    return std::any_of(parts.begin(), parts.end(), [&](const tPart& p) { return Removes(p, choices); });
}

const char* KindName(tPartKind kind)
{
    switch (kind) {
    case tPartKind::Exif: return "EXIF";
    case tPartKind::Comment: return "comment";
    case tPartKind::Iptc: return "IPTC";
    case tPartKind::Other: return "other";
    case tPartKind::Display: return "display";
    case tPartKind::Picture: return "picture";
    }
    return "";
}

std::string FateText(const tPart& part, const tChoices& choices)
{
    switch (FateOf(part, choices)) {
    case tFate::Keep:
        if (part.Kind == tPartKind::Exif && choices.Exif) return "kept (orientation only)";
        return "kept";
    case tFate::Drop:
        return part.NothingToRemove ? "nothing to remove, left out when the file changes"
                                    : std::string("removed (") + KindName(part.Kind) + ")";
    case tFate::Rewrite:
        if (part.Kind == tPartKind::Exif) return "rewritten (orientation only)";
        return std::string("rewritten without the ") + KindName(part.Kind) + " metadata";
    }
    return {};
}
