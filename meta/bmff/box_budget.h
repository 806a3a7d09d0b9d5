#pragma once
// What walking the boxes of one file may cost. Sizes are checked against
// their parents, so no walk can loop; but a crafted file can still nest boxes
// deeply or hold millions of tiny ones, and a size field can ask for any
// amount of memory. Every walk of one file shares one budget, so the work
// done stays linear in these caps whatever the file holds.

#include <cstdint>
#include <string>

#include "meta/clean/picture_file.h"

// Pictures nest four levels (meta/iprp/ipco/property), movies about ten
// (moov/trak/mdia/minf/stbl/stsd/entry/...); more is a crafted file.
inline constexpr int kMaxBoxDepth = 24;
// A phone photo holds a few hundred boxes (a 48-tile grid gives one infe
// each); a long fragmented movie some tens of thousands of headers.
inline constexpr int64_t kMaxBoxesPerFile = int64_t{1} << 18;
// Bytes of box contents read into memory (item tables, metadata payloads for
// a listing). A phone's meta box holds a few kilobytes, a thousand-tile grid
// below a megabyte; the rest of a file is copied by the kernel, never read.
inline constexpr int64_t kMaxBoxBytesPerFile = int64_t{16} << 20;

class tBoxBudget {
public:
    // Each raises EDamagedFile once its cap is passed, and so does every
    // later call: a spent budget stays spent.
    void ReadHeader() { Charge(FBoxes, 1, kMaxBoxesPerFile, "boxes"); }
    void Keep(int64_t bytes) { Charge(FBytes, bytes, kMaxBoxBytesPerFile, "bytes of box contents"); }

    int64_t Boxes() const { return FBoxes; }
    int64_t KeptBytes() const { return FBytes; }

private:
    void Charge(int64_t& used, int64_t amount, int64_t cap, const char* what)
    {
        if (!FSpent.empty()) throw EDamagedFile(FSpent);
        if (amount < 0 || amount > cap - used) {
            FSpent = "too large to read: more than " + std::to_string(cap) + " " + what;
            throw EDamagedFile(FSpent);
        }
        used += amount;
    }

    int64_t FBoxes = 0;
    int64_t FBytes = 0;
    std::string FSpent;  // the message once a cap was passed
};
