#pragma once
// What decoding one EXIF block may cost. The set of entered directories stops
// loops, but a crafted block can still hold thousands of distinct, overlapping
// directories whose entries point at one another, or entries that each copy
// and render the same large value. The walks of one block (IFD0, EXIF, GPS,
// interoperability and maker directories) share one budget, so the work done
// stays linear in these caps whatever the block holds.

#include <cstdint>
#include <string>

#include "meta/exif/end_ind.h"

// A camera block holds IFD0, EXIF, interoperability, GPS and one maker
// directory; a few dozen would already be a crafted block.
inline constexpr int64_t kMaxDirectoriesPerBlock = 64;
// Camera blocks hold a few hundred entries in all; entries of nested or
// overlapping directories are counted each time they are read.
inline constexpr int64_t kMaxEntriesPerBlock = 8192;
// An APP1 segment holds at most 64 KiB and a camera file keeps each value about
// twice (its raw copy, the maker walk's copy) plus short texts.
inline constexpr int64_t kMaxKeptBytesPerBlock = int64_t{1} << 20;

// Raised when a block exceeds its budget. The walk stops there; what was
// decoded before stays.
class EDecodeBudget : public EMetaError {
public:
    using EMetaError::EMetaError;
};

class tDecodeBudget {
public:
    // A fresh budget, for the next block.
    void Reset() { *this = tDecodeBudget(); }

    // Each raises EDecodeBudget once its cap is passed, and so does every
    // later call: a spent budget stays spent.
    void EnterDirectory() { Charge(FDirectories, 1, kMaxDirectoriesPerBlock, "directories"); }
    void ReadEntry() { Charge(FEntries, 1, kMaxEntriesPerBlock, "entries"); }
    // Bytes copied from the block or rendered as text.
    void Keep(int64_t bytes) { Charge(FBytes, bytes, kMaxKeptBytesPerBlock, "value bytes"); }

    // What was used so far.
    int64_t Directories() const { return FDirectories; }
    int64_t Entries() const { return FEntries; }
    int64_t KeptBytes() const { return FBytes; }

private:
    void Charge(int64_t& used, int64_t amount, int64_t cap, const char* what)
    {
        if (!FSpent.empty()) throw EDecodeBudget(FSpent);
        if (amount > cap - used) {
            FSpent = "EXIF block too large to decode: more than " + std::to_string(cap) + " " + what;
            throw EDecodeBudget(FSpent);
        }
        used += amount;
    }

    int64_t FDirectories = 0;
    int64_t FEntries = 0;
    int64_t FBytes = 0;
    std::string FSpent;  // the message once a cap was passed
};
