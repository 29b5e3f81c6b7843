// Times sweeps of the echo engine over a target list, or the walk one attempt
// at a time on the same socket, and counts outcomes that contradict what
// each target was set up to do.
//
//   echo_bench engine-datagram|engine-raw|engine-helper|walk-datagram|walk-raw LIST ATTEMPTS TTL
//              [RUNS|SAMPLE]
//
// engine-helper sweeps through pelmora-echo (beside this program or one folder
// up, as in the build tree), which holds the raw socket in its own process.
// LIST holds one target a line: "address up" or "address down". The engine
// modes sweep the whole list RUNS times (default 5) and print the median
// time. The walk modes try the first SAMPLE targets of the list (default:
// all) one attempt after another and scale the time up to the whole list;
// a list that mixes kinds should alternate them. Output, one line:
//   seconds=<s, to the microsecond> wrong=<outcomes against expectation> sampled=<targets walked or
//   swept>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/echo/helper_echo_engine.h"
#include "platform/echo/socket_echo_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Target {
    std::string address;
    bool up;
};

std::vector<Target> read_list(const char* path) {
    std::vector<Target> list;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Target t;
        std::string state;
        if (fields >> t.address >> state)
            list.push_back({t.address, state == "up"});
    }
    return list;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int usage() {
    std::fprintf(stderr, "usage: echo_bench engine-datagram|engine-raw|engine-helper|walk-datagram|"
                         "walk-raw LIST ATTEMPTS TTL [RUNS|SAMPLE]\n");
    return 2;
}

EchoOpened<EchoEngine> helper_engine(const std::string& self) {
    const std::string folder = self.substr(0, self.rfind('/') + 1);
    for (const std::string& path : {folder + "pelmora-echo", folder + "../pelmora-echo"})
        if (::access(path.c_str(), X_OK) == 0) {
            EchoOpened<HelperEchoEngine> helper = HelperEchoEngine::start(path);
            if (!helper)
                return helper.failure();
            return std::unique_ptr<EchoEngine>(helper.take());
        }
    return EchoFailure{EchoStep::Helper, ENOENT, "pelmora-echo not found beside echo_bench"};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return usage();
    const std::string mode = argv[1];
    const auto list = read_list(argv[2]);
    const int attempts = std::atoi(argv[3]);
    const int ttl = std::atoi(argv[4]);
    const bool walk = mode.starts_with("walk-");
    const bool raw = mode.ends_with("-raw");
    if (list.empty() || (!walk && !mode.starts_with("engine-")))
        return usage();

    std::unique_ptr<EchoEngine> opened;
    SocketEchoEngine* on_socket = nullptr;
    std::string why;
    if (mode == "engine-helper") {
        EchoOpened<EchoEngine> helper = helper_engine(argv[0]);
        if (helper)
            opened = helper.take();
        else
            why = helper.failure().text;
    } else {
        auto socket =
            IcmpEchoSocket::open(raw ? IcmpEchoSocket::Kind::Raw : IcmpEchoSocket::Kind::Datagram);
        if (socket) {
            auto engine = std::make_unique<SocketEchoEngine>(socket.take());
            on_socket = engine.get();
            opened = std::move(engine);
        } else {
            why = socket.failure().text;
        }
    }
    if (!opened) {
        std::fprintf(stderr, "echo_bench: no ICMP socket: %s\n", why.c_str());
        return 1;
    }
    EchoEngine& engine = *opened;
    int wrong = 0;

    if (!walk) {
        const int runs = argc > 5 ? std::max(1, std::atoi(argv[5])) : 5;
        std::vector<EchoJob> jobs;
        for (const Target& t : list)
            jobs.push_back({t.address});
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const auto start = Clock::now();
            const auto outcomes = engine.check_all(jobs, attempts, ttl);
            times.push_back(seconds_since(start));
            for (std::size_t i = 0; i < list.size(); ++i)
                wrong += (outcomes[i] == EchoOutcome::Reachable) != list[i].up;
        }
        std::sort(times.begin(), times.end());
        // to the microsecond: a sweep of answering hosts takes a few milliseconds
        std::printf("seconds=%.6f wrong=%d sampled=%zu\n", times[times.size() / 2], wrong,
                    list.size());
        return 0;
    }

    if (!on_socket)
        return usage();
    const std::size_t sample =
        argc > 5 ? std::clamp<std::size_t>(std::atoi(argv[5]), 1, list.size()) : list.size();
    const auto start = Clock::now();
    for (std::size_t k = 0; k < sample; ++k) {
        const Target& t = list[k];
        bool reachable = false;
        for (int attempt = 1; attempt <= std::max(1, attempts) && !reachable; ++attempt)
            reachable = on_socket->attempt_once(t.address, ttl) == EchoOutcome::Reachable;
        wrong += reachable != t.up;
    }
    const double scaled = seconds_since(start) * double(list.size()) / double(sample);
    std::printf("seconds=%.3f wrong=%d sampled=%zu\n", scaled, wrong, sample);
    return 0;
}
