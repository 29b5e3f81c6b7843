#include "platform/privileges.h"

#include <cerrno>
#include <cstring>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::string failed(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

} // namespace

std::optional<std::string> drop_all_capabilities() {
    // The bounding set first: dropping from it needs CAP_SETPCAP, which only
    // root has; everyone else gets EPERM and keeps the set, harmlessly.
    for (int cap = 0; ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) >= 0; ++cap)
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno != EPERM)
            return failed("PR_CAPBSET_DROP");
    // kernels before 4.3 have no ambient set (EINVAL)
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
        return failed("PR_CAP_AMBIENT_CLEAR_ALL");

    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capset, &header, none) != 0)
        return failed("capset");

    __user_cap_data_struct now[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, now) != 0)
        return failed("capget");
    for (const auto& word : now)
        if (word.effective != 0 || word.permitted != 0 || word.inheritable != 0)
            return std::string("capabilities remain after capset");
    return std::nullopt;
}
