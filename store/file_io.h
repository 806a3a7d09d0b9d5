#pragma once
// The file-system operations, on native byte-string paths; nothing here knows
// a file format.
// Outputs are written to a file without a name (or, where the file system
// cannot make one, a temporary name) inside a folder opened once, and are
// given their name only when complete.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

// An open file descriptor, closed when it goes out of scope.
class tFileHandle {
public:
    explicit tFileHandle(int fd = -1) : FFd(fd) {}
    ~tFileHandle();
    tFileHandle(tFileHandle&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    tFileHandle& operator=(tFileHandle&& other) noexcept;
    tFileHandle(const tFileHandle&) = delete;
    tFileHandle& operator=(const tFileHandle&) = delete;
    int Get() const { return FFd; }
    // Closes now; false when close reports an error (a write that failed late).
    bool Close();

private:
    int FFd;
};

// `text` as an error box shows it (a full stop after a last character that
// sorts after "."), then a blank line and the system's reason, e.g.
// "Cannot create file /x/a.jpg.\n\nRead-only file system". Every error
// raised here is built this way, so its first line stays the plain message.
std::string WithReason(const std::string& text, int err);
std::string WithReason(const std::string& text, const std::string& reason);

// `message` of an error met with `file`, made to name it: unchanged when it
// does, otherwise the file goes before the reason ("Stream write error.\n\n
// /x/a.jpg: No space left on device"), or below a message that has none.
std::string ForFile(const std::string& message, const std::string& file);

// A step on a file that failed, with the file (empty where the step does not
// know it) and the system's error number, so a host can word it in its own
// language; the message is the English one WithReason builds.
class EFileError : public std::runtime_error {
public:
    enum class TStep { Open, NotRegular, Create, Read, Write };
    EFileError(TStep step, std::string file, int err);
    TStep Step;
    std::string File;
    int Errno;
};

// True when `name` is an existing regular file (or a link to one).
bool IsRegularFile(const std::string& name);

// Opens a regular file read-only; raises "Cannot open file %s" otherwise.
// (Other processes may go on reading; POSIX has no way to deny writers.)
// `st` receives what the open file is, so no caller needs to ask again.
int OpenForReading(const std::string& name);
int OpenForReading(const std::string& name, struct stat& st);

// Reads the whole of an open file; raises "Stream read error" on a failed read.
std::string ReadAll(int fd);

// Identity of a file on disk, to recognise a file we wrote ourselves.
struct tFileId {
    uint64_t Dev = 0, Ino = 0;
    bool operator==(const tFileId&) const = default;
};
// The identity of the file `name` (not following a final link), or false.
bool GetFileId(const std::string& name, tFileId& id);
bool GetFileId(int fd, tFileId& id);

// The folder part of a path ("." when there is none) and the name after the last "/".
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Copies `length` bytes (to the end of the file when negative) of `from`,
// starting at `offset`, to the current position of `to`. The kernel copies
// where it can; a read/write loop takes over where it cannot. Returns the
// bytes copied; raises "Stream read error" or "Stream write error".
int64_t CopyRange(int from, int64_t offset, int64_t length, int to);

// A test seam: when set, called instead of copy_file_range. Empty in the program.
extern std::function<ssize_t(int from, off_t* offset, int to, size_t length)> CopyFileRangeHook;

// A folder opened once (not through a final symbolic link): every temporary
// file and every publish is relative to it, so replacing the folder by a link
// during a run cannot redirect a write.
class tOutputFolder {
public:
    // Raises "Cannot create file " + forName when `path` cannot be opened as a
    // folder. A final link is followed only when the caller says so: a path
    // the user chose, as opposed to one a walk came across.
    tOutputFolder(const std::string& path, const std::string& forName, bool followLink = false);
    int Fd() const { return FFd.Get(); }
    const std::string& Path() const { return FPath; }
    // Removes temporary files that an earlier run left when it was killed:
    // only names of the exact temporary shape whose file carries our mark
    // for that name, a regular file with no other name, not locked by a run
    // still going. Call it only for a folder that holds none of the user's
    // sources. Returns how many went.
    int RemoveStaleTemporaries() const;
    // Makes the names published here durable; false when the flush failed.
    bool Sync() const;

private:
    friend class tPendingFile;
    std::string FPath;
    tFileHandle FFd;
    // The file system refused a file without a name here once: it will again.
    mutable std::atomic<bool> FNoUnnamed{false};
};

// Every temporary name is this followed by exactly 16 lowercase hex digits.
extern const char* const kTemporaryPrefix;
// The extended attribute a temporary file carries while it has that name;
// its value is the 16 digits of the name.
extern const char* const kTemporaryMark;
// True when `name` (a file name, no folder) has exactly the temporary shape.
bool IsTemporaryName(const std::string& name);

// A new file in an output folder, published once under its real name. Where
// the file system allows, it has no name until then, so a run that is killed
// leaves nothing; elsewhere it has a temporary name and our mark. It is
// locked while it exists, and it goes when the object goes away unpublished.
class tPendingFile {
public:
    // `mode`: permission bits of the new file, under the umask. Raises
    // "Cannot create file " + forName when no file can be made.
    tPendingFile(std::shared_ptr<const tOutputFolder> folder, const std::string& forName,
                 mode_t mode = 0666);
    ~tPendingFile();
    tPendingFile(const tPendingFile&) = delete;
    tPendingFile& operator=(const tPendingFile&) = delete;

    int Fd() const { return FFile.Get(); }
    // Empty while the file has no name.
    const std::string& TempName() const { return FTemp; }
    const tOutputFolder& Folder() const { return *FFolder; }
    const std::shared_ptr<const tOutputFolder>& FolderShared() const { return FFolder; }
    tFileId Id() const { return FId; }

    // "Stream write error" when not all bytes could be written.
    void Write(const std::string& bytes);
    // Starts writing the data back to disk without waiting for it.
    void StartWriteBack();
    // Waits until the data is on disk; "Stream write error" when it is not.
    void Flush();
    // Moves the file into place as `name` (inside the folder) and closes it.
    // Without `replace` nothing that holds the name is replaced: `next` then
    // gives the name to try instead (none, or an empty name: "Cannot create
    // file" with the folder and name). Returns the name the file got.
    std::string Publish(const std::string& name, bool replace,
                        const std::function<std::string(const std::string& taken)>& next = {});

private:
    // Makes the named temporary file, marked as ours.
    void CreateNamed(mode_t mode);
    // Gives the unnamed file a temporary name (and our mark), for a publish
    // that replaces.
    void NameTemporary();
    bool LinkAs(const std::string& name) const;
    // Takes our mark off before the file gets the user's name.
    void Unmark();

    std::shared_ptr<const tOutputFolder> FFolder;
    std::string FForName;
    std::string FTemp;
    tFileHandle FFile;
    tFileId FId;
    bool FMarked = false;
    bool FPublished = false;
};

// A test seam: called right before each publish with the folder and the name
// about to be taken. Empty in the program.
extern std::function<void(const tOutputFolder&, const std::string&)> BeforePublishHook;
// A test seam: true makes every new pending file a named temporary, as on a
// file system without unnamed files. False in the program.
extern std::atomic<bool> ForceNamedTemporaries;
// True while a file without a name may be linked by its descriptor; false
// after the kernel refused it (then through /proc), or set so by a test.
extern std::atomic<bool> LinkByDescriptor;
