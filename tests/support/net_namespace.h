#pragma once
// Network namespaces for tests that need real packets beyond loopback. Every
// namespace is private to the test process (its name carries the pid) and is
// removed again when the object goes.
#include <string>

// Runs a shell command quietly; true when it succeeded.
bool run_quietly(const std::string& command);

class NetNamespace {
  public:
    // tag: a few letters that tell this namespace from the test's others
    explicit NetNamespace(const std::string& tag);
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }
    // Runs a command inside the namespace; true when it succeeded.
    bool run(const std::string& command) const;

  private:
    std::string name_;
    bool ok_ = false;
};

// Moves the calling thread into a namespace for as long as it lives; sockets
// opened meanwhile stay in that namespace afterwards.
class InNetNamespace {
  public:
    explicit InNetNamespace(const std::string& name);
    ~InNetNamespace();
    InNetNamespace(const InNetNamespace&) = delete;
    InNetNamespace& operator=(const InNetNamespace&) = delete;

    bool ok() const { return entered_; }

  private:
    int home_ = -1;
    bool entered_ = false;
};
