#pragma once
// The parts of an output plan beyond the first picture's head: what each
// choice removes, the gain-map properties an XMP packet keeps, and the
// further pictures of a multi-picture file with their MPF index.

#include <cstdint>
#include <string>
#include <vector>

#include "meta/jpeg/img_data.h"
#include "meta/jpeg/mpf.h"

// The gain-map properties of an XMP segment's bytes (from the length field
// on), as a segment of their own; empty when it carries none.
std::string GainMapSegment(const std::string& bytes, const std::vector<uint32_t>& itemLengths);

// A further picture the MPF index names, where it stands in the source, and
// the plan of its cleaned copy.
struct tPicture {
    tMpfEntry Entry;
    size_t Number = 0;  // the picture's place in the index, the first picture being 1
    int64_t Start = 0, End = 0;
    tOutputPlan Plan;
    // It holds metadata the choices remove (a comment with text, IPTC
    // datasets, XMP beyond the gain-map properties, ...).
    bool HoldsRemoved = false;
};

// The further pictures the MPF index names after the first picture's end
// (`imageEnd`), in file order, each scanned like the first picture and
// planned with the same choices. Entries that point into the first picture
// or into a picture before them are no pictures of their own. A picture
// that cannot be read to its image data, or an entry past the end of the
// file, raises "Damaged JPEG header in picture N": what such a picture
// holds is unknown, so the file is never kept as it stands.
std::vector<tPicture> FurtherPictures(const tSection& mpf, int fd, int64_t imageEnd, int64_t size,
                                      const tCleaning& cleaning);

// The index as it must read in the output: the first picture's new size and
// each further picture's new place and size.
void RewriteMpfIndex(std::string& index, int64_t firstSize, const std::vector<tPicture>& pictures);
