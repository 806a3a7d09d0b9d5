#include "tests/support/file_permissions.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>

namespace fixture {

namespace {

constexpr unsigned kOverrideBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool Get(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool Set(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Exit status of a child that could not be bound by permission bits.
constexpr int kCannotBind = 3;

// The failures GoogleTest recorded in the running test from part `first` on.
std::string FailuresSince(int first)
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (!test) return "";
    const testing::TestResult& result = *test->result();
    std::string text;
    for (int i = first; i < result.total_part_count(); ++i) {
        const testing::TestPartResult& part = result.GetTestPartResult(i);
        if (!part.failed()) continue;
        text += std::string(part.file_name() ? part.file_name() : "?") + ":" + std::to_string(part.line_number()) +
                ": " + part.summary() + "\n";
    }
    return text;
}

int PartCount()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return test ? test->result()->total_part_count() : 0;
}

void WriteAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// The child's side of RunUnprivileged; never returns.
[[noreturn]] void RunChild(int out, uid_t uid, gid_t gid, const std::function<void()>& check)
{
    // Without supplementary groups first: root's would otherwise stay.
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
        ::_exit(kCannotBind);
    __user_cap_data_struct data[2]{};
    if (!Get(data) || (data[0].effective & kOverrideBits) != 0) ::_exit(kCannotBind);
    const int first = PartCount();
    std::string text;
    try {
        check();
    } catch (const std::exception& e) {
        text = std::string("exception: ") + e.what() + "\n";
    } catch (...) {
        text = "exception of an unknown type\n";
    }
    WriteAll(out, FailuresSince(first) + text);
    // _exit: the parent's buffers, atexit handlers and GoogleTest's report are not the child's.
    ::_exit(0);
}

}  // namespace

TPermissionsBind::TPermissionsBind()
{
    __user_cap_data_struct data[2]{};
    if (!Get(data) || (data[0].effective & kOverrideBits) == 0) return;
    FSaved[0] = data[0].effective;
    FSaved[1] = data[1].effective;
    data[0].effective &= ~kOverrideBits;
    FChanged = Set(data);
}

TPermissionsBind::~TPermissionsBind()
{
    __user_cap_data_struct data[2]{};
    if (!FChanged || !Get(data)) return;
    data[0].effective = FSaved[0];
    data[1].effective = FSaved[1];
    Set(data);
}

void BindPermissionsAcrossExec()
{
    ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

std::optional<std::string> RunUnprivileged(const std::function<void()>& check)
{
    // Looked up before the fork: name services are not safe in a forked child.
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    if (::geteuid() == 0 && uid == 0) return std::nullopt;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return "pipe failed\n";
    std::fflush(nullptr);  // else the child's GoogleTest output repeats what is still buffered
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return "fork failed\n";
    }
    if (pid == 0) {
        ::close(fds[0]);
        RunChild(fds[1], uid, gid, check);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return text + "waitpid failed\n";
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotBind) return std::nullopt;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return text;
    if (WIFSIGNALED(status)) return text + "child ended by signal " + std::to_string(WTERMSIG(status)) + "\n";
    return text + "child ended with status " + std::to_string(WEXITSTATUS(status)) + "\n";
}

}  // namespace fixture
