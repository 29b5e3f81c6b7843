#pragma once
// The echo engine of a process that may open no ICMP socket itself: it asks
// pelmora-echo, a helper started beside it that holds the raw socket, over a
// socketpair. The process that loads Qt then holds neither a raw socket nor a
// capability.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

#include "core/echo_engine.h"

class HelperEchoEngine : public TimedEchoEngine {
  public:
    // Starts the helper at `helper_path` and waits for its greeting; the
    // failure when it cannot be started or got no socket.
    static EchoOpened<HelperEchoEngine> start(const std::string& helper_path);
    ~HelperEchoEngine() override;
    HelperEchoEngine(const HelperEchoEngine&) = delete;
    HelperEchoEngine& operator=(const HelperEchoEngine&) = delete;

    // A helper that died is started again once per sweep; when that fails
    // the sweep returns nothing and failure() says why.
    std::vector<EchoResult> check_all_timed(const std::vector<EchoJob>& jobs, int attempts,
                                            int ttl) override;
    std::optional<std::string> failure() const override { return failure_; }

    pid_t helper_pid() const { return pid_; }

  private:
    explicit HelperEchoEngine(std::string helper_path) : path_(std::move(helper_path)) {}
    int spawn();   // 0, or the errno that kept a working helper from starting
    void forget(); // the helper is gone or useless: reap it, close our end
    std::size_t exchange(std::span<const std::uint8_t> request);

    std::string path_;
    int fd_ = -1;
    pid_t pid_ = -1;
    std::optional<std::string> failure_;
    std::vector<std::uint8_t> reply_; // the helper's last message
};

// Where pelmora-echo is looked for: beside the running program (the build
// tree), then where the package installs it.
std::vector<std::string> echo_helper_candidates();

// The engine for a process that must hold no raw socket: ICMP datagram
// sockets where net.ipv4.ping_group_range admits the process, else the first
// helper found; the failure when neither can be had.
EchoOpened<EchoEngine> open_unprivileged_echo_engine();
