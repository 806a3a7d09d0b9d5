#pragma once
// The parts of an output plan beyond the first picture's head: what each
// choice removes, the gain-map properties an XMP packet keeps, and the
// further pictures of a multi-picture file with their MPF index.

#include <cstdint>
#include <string>
#include <vector>

#include "meta/jpeg/img_data.h"
#include "meta/jpeg/mpf.h"

// What goes, for the first picture and for the further ones alike.
struct tCleaning {
    bool Exif = false, Comment = false, Iptc = false, Other = false;

    bool Drops(const tSection& seg) const;
    // XMP and the APPn blocks of cameras and programs.
    static bool IsOtherMetadata(tBlockKind kind);
};

// The gain-map properties of an XMP segment's bytes (from the length field
// on), as a segment of their own; empty when it carries none.
std::string GainMapSegment(const std::string& bytes, const std::vector<uint32_t>& itemLengths);

// A further picture the MPF index names, where it stands in the source, and
// the plan of its cleaned copy.
struct tPicture {
    tMpfEntry Entry;
    int64_t Start = 0, End = 0;
    tOutputPlan Plan;
};

// The further pictures the MPF index names after the first picture's end
// (`imageEnd`), in file order. Entries that point into the first picture,
// past the end of the file or into another picture are left as they are.
std::vector<tPicture> FurtherPictures(const tSection& mpf, int fd, int64_t imageEnd, int64_t size,
                                      const tCleaning& cleaning);

// The index as it must read in the output: the first picture's new size and
// each further picture's new place and size.
void RewriteMpfIndex(std::string& index, int64_t firstSize, const std::vector<tPicture>& pictures);
