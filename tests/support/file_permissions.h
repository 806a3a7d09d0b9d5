#pragma once
// Root reads and writes any file whatever its permission bits. Tests of
// unreadable files take that power away for a while, so they mean the same
// for root as for anyone else.

#include <functional>
#include <optional>
#include <string>

namespace fixture {

// While it lives, the calling thread, and the threads it starts, are bound by
// permission bits (CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH leave the
// effective set). Does nothing for a process without them.
class TPermissionsBind {
public:
    TPermissionsBind();
    ~TPermissionsBind();
    TPermissionsBind(const TPermissionsBind&) = delete;
    TPermissionsBind& operator=(const TPermissionsBind&) = delete;

private:
    unsigned FSaved[2] = {0, 0};
    bool FChanged = false;
};

// For a child process about to exec a program: the program will be bound by
// permission bits even when run as root (the two capabilities leave the
// bounding set, which an exec cannot give back).
void BindPermissionsAcrossExec();

// Runs `check` in a forked child bound by permission bits: a root child first
// becomes nobody, so what it opens must be reachable by others (a scratch
// folder from mkdtemp is 0700). GoogleTest failures inside `check` would stay
// in the child; they come back instead as text, each with its file and line,
// as does an exception or an abnormal end. Returns "" when the child ran clean, nullopt
// where permission bits cannot be made to bind (not root, yet holding
// CAP_DAC_OVERRIDE or CAP_DAC_READ_SEARCH; or nobody is out of reach).
std::optional<std::string> RunUnprivileged(const std::function<void()>& check);

}  // namespace fixture
