#include "support/net_namespace.h"

#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

bool run_quietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

NetNamespace::NetNamespace(const std::string& tag)
    : name_("pelmora" + std::to_string(::getpid()) + tag) {
    ok_ = ::geteuid() == 0 && run_quietly("ip netns add " + name_) && run("ip link set lo up");
}

NetNamespace::~NetNamespace() {
    if (ok_)
        run_quietly("ip netns delete " + name_);
}

bool NetNamespace::run(const std::string& command) const {
    return run_quietly("ip netns exec " + name_ + " " + command);
}

InNetNamespace::InNetNamespace(const std::string& name) {
    home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    entered_ = home_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        ::close(target);
}

InNetNamespace::~InNetNamespace() {
    // a thread left in a test namespace would send the next test's packets there
    if (entered_ && ::setns(home_, CLONE_NEWNET) != 0)
        std::terminate();
    if (home_ >= 0)
        ::close(home_);
}
