#include "platform/echo/echo_helper_protocol.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint8_t kRequestTag[4] = {'P', 'E', 'Q', '1'};
constexpr std::uint8_t kResponseTag[4] = {'P', 'E', 'R', '1'};
constexpr std::uint32_t kNoRtt = 0xffffffff;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value >> 16);
    put16(out, value & 0xffff);
}

// Reads fields front to back; any read past the end spoils the whole message.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool tag(const std::uint8_t (&expected)[4]) {
        return take(4) && std::equal(expected, expected + 4, bytes_.begin() + at_ - 4);
    }
    std::uint32_t u8() { return take(1) ? bytes_[at_ - 1] : 0; }
    std::uint32_t u16() { return u8() << 8 | u8(); }
    std::uint32_t u32() { return u16() << 16 | u16(); }
    bool whole() const { return ok_ && at_ == bytes_.size(); }
    std::size_t left() const { return ok_ ? bytes_.size() - at_ : 0; }

  private:
    bool take(std::size_t n) {
        ok_ = ok_ && bytes_.size() - at_ >= n;
        if (ok_)
            at_ += n;
        return ok_;
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

bool single_host(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    return first != 0 && first < 224;
}

} // namespace

std::vector<std::uint8_t> encode_request(const EchoHelperRequest& request) {
    std::vector<std::uint8_t> out(kRequestTag, kRequestTag + 4);
    out.reserve(9 + request.destinations.size() * 4);
    put16(out, static_cast<std::uint32_t>(request.attempts));
    out.push_back(static_cast<std::uint8_t>(request.ttl));
    put16(out, static_cast<std::uint32_t>(request.destinations.size()));
    for (std::uint32_t destination : request.destinations)
        put32(out, destination);
    return out;
}

std::optional<EchoHelperRequest> read_request(std::span<const std::uint8_t> bytes) {
    Reader in(bytes);
    if (!in.tag(kRequestTag))
        return std::nullopt;
    EchoHelperRequest request;
    request.attempts = static_cast<int>(in.u16());
    request.ttl = static_cast<int>(in.u8());
    const std::size_t count = in.u16();
    if (request.attempts < 1 || request.attempts > kHelperMaxAttempts || request.ttl < 1 ||
        count > kHelperMaxTargets || in.left() != count * 4)
        return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t destination = in.u32();
        if (!single_host(destination))
            return std::nullopt;
        request.destinations.push_back(destination);
    }
    if (!in.whole())
        return std::nullopt;
    return request;
}

std::vector<std::uint8_t> encode_response(const EchoHelperResponse& response) {
    std::vector<std::uint8_t> out(kResponseTag, kResponseTag + 4);
    out.push_back(static_cast<std::uint8_t>(response.status));
    if (response.status == EchoHelperResponse::Status::Refused)
        put32(out, static_cast<std::uint32_t>(response.error_number));
    if (response.status != EchoHelperResponse::Status::Done)
        return out;
    out.reserve(7 + response.targets.size() * 5);
    put16(out, static_cast<std::uint32_t>(response.targets.size()));
    for (const EchoHelperTarget& target : response.targets) {
        out.push_back(target.reached ? 1 : 0);
        std::uint32_t rtt_us = kNoRtt;
        if (target.rtt_ms)
            rtt_us = static_cast<std::uint32_t>(
                std::clamp(std::llround(*target.rtt_ms * 1000.0), 0ll, 0xfffffffell));
        put32(out, rtt_us);
    }
    return out;
}

std::optional<EchoHelperResponse> read_response(std::span<const std::uint8_t> bytes) {
    Reader in(bytes);
    if (!in.tag(kResponseTag))
        return std::nullopt;
    EchoHelperResponse response;
    const std::uint32_t status = in.u8();
    if (status > 2)
        return std::nullopt;
    response.status = static_cast<EchoHelperResponse::Status>(status);
    if (response.status == EchoHelperResponse::Status::Refused)
        response.error_number = static_cast<int>(in.u32());
    if (response.status == EchoHelperResponse::Status::Done) {
        const std::size_t count = in.u16();
        if (count > kHelperMaxTargets || in.left() != count * 5)
            return std::nullopt;
        for (std::size_t i = 0; i < count; ++i) {
            EchoHelperTarget target;
            target.reached = in.u8() != 0;
            if (const std::uint32_t rtt_us = in.u32(); rtt_us != kNoRtt)
                target.rtt_ms = rtt_us / 1000.0;
            response.targets.push_back(target);
        }
    }
    if (!in.whole())
        return std::nullopt;
    return response;
}
