#pragma once
// Hosts that answer echo requests by rule, played by a thread inside a test
// namespace whose kernel itself answers no echo (icmp_echo_ignore_all).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct ResponderRule {
    std::uint32_t address; // host byte order; must be an address of the namespace
    int answers_from = 1;  // the first request that gets an answer
    std::chrono::milliseconds delay{0};
    std::optional<std::uint32_t> reply_from = std::nullopt; // another address answers for it
};

class EchoResponder {
  public:
    EchoResponder(const std::string& netns, std::vector<ResponderRule> rules);
    ~EchoResponder();

    bool ok() const { return ready_ == 1; }
    int requests(std::uint32_t address);
    void reset_counts();

  private:
    void serve(std::string netns);

    std::vector<ResponderRule> rules_;
    std::mutex mutex_;
    std::map<std::uint32_t, int> counts_;
    std::atomic<int> ready_{0}; // 0 starting, 1 serving, -1 failed
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
