#include "tests/support/file_permissions.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

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

}  // namespace fixture
