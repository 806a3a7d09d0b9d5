#pragma once
// The few file-system operations the container needs, on native byte-string paths.

#include <cstdint>
#include <string>

// An open file descriptor, closed when it goes out of scope.
class tFileHandle {
public:
    explicit tFileHandle(int fd = -1) : FFd(fd) {}
    ~tFileHandle();
    tFileHandle(const tFileHandle&) = delete;
    tFileHandle& operator=(const tFileHandle&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

// True when `name` is an existing regular file (or a link to one).
bool IsRegularFile(const std::string& name);

// Opens a regular file read-only; raises "Cannot open file %s" otherwise.
// (Other processes may go on reading; POSIX has no way to deny writers.)
int OpenForReading(const std::string& name);

// Reads the whole of an open file; raises "Stream read error" on a failed read.
std::string ReadAll(int fd);

// Identity of a file on disk, to recognise a file we wrote ourselves.
struct tFileId {
    uint64_t Dev = 0, Ino = 0;
    bool operator==(const tFileId&) const = default;
};
// The identity of the file `name` (not following a final link), or false.
bool GetFileId(const std::string& name, tFileId& id);

// Writes `bytes` to a temporary file beside `target` and moves it into place
// only when complete, so no partial target ever exists. With `replace` false
// the move never replaces anything that holds the name; then, and whenever the
// temporary file cannot be made, it raises "Cannot create file %s" (target).
// A failed write raises "Stream write error". The temporary file is removed on
// every failure. Returns the identity of the file it placed.
tFileId WriteNewFile(const std::string& target, const std::string& bytes, bool replace);
