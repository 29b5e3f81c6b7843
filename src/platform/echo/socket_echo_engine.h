#pragma once
// The echo engine the program runs with: one ICMP socket of this system kept
// for the whole run, with the attempts of a sweep overlapped (echo_rounds.h).
#include <memory>
#include <string>

#include "core/echo_engine.h"
#include "platform/echo/echo_rounds.h"
#include "platform/echo/icmp_echo_socket.h"

class SocketEchoEngine : public TimedEchoEngine {
  public:
    // The engine on the first socket kind the system grants (see
    // icmp_echo_socket.h), or why it grants neither. A process needs its
    // group in net.ipv4.ping_group_range, or CAP_NET_RAW.
    static EchoOpened<SocketEchoEngine> open(EchoTiming timing = {});
    // The engine on a socket of the caller's choosing.
    explicit SocketEchoEngine(std::unique_ptr<IcmpEchoSocket> socket, EchoTiming timing = {});
    // An engine that opens its socket at first use, and tries again at each
    // sweep as long as none can be had; meanwhile every enabled target is
    // simply unreachable, as a failed echo is. Nothing is reported from here.
    explicit SocketEchoEngine(EchoTiming timing = {});

    std::vector<EchoResult> check_all_timed(const std::vector<EchoJob>& jobs, int attempts,
                                            int ttl) override;
    // The same sweep for hosts already resolved (see echo_hosts), as
    // pelmora-echo is asked for them: no text goes back and forth.
    std::vector<EchoResult> check_hosts(const std::vector<std::uint32_t>& hosts, int attempts,
                                        int ttl);

    // One attempt on one address, nothing overlapped: a step of the walk
    // one attempt at a time, on the same socket (for comparisons).
    EchoOutcome attempt_once(const std::string& address, int ttl);

    // The kind of socket in use; nothing while none could be opened.
    std::optional<IcmpEchoSocket::Kind> socket_kind() const;

  private:
    EchoTiming timing_;
    std::unique_ptr<IcmpEchoSocket> socket_;
    std::uint16_t next_sequence_ = 0;
};

// The time-to-live a request carries for the stored setting. The settings
// window admits 1..255; a hand-edited value outside is taken as the nearest
// admitted one rather than cut to its low byte (300 would become 44, 256 a
// packet that cannot leave the host).
int ttl_on_the_wire(int stored);
