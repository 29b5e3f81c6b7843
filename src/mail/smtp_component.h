#pragma once
// The SMTP component SendMail drives: one prepare / connect / send /
// disconnect / release cycle per notice. Texts are zero-terminated code page
// 932 byte strings; numbers are 32-bit signed integers. -1 means failure.
#include <cstdint>

class SmtpComponent {
  public:
    virtual ~SmtpComponent() = default;

    // Prepares the network layer; -1 on failure.
    virtual std::int32_t DZLoadWinsock(std::int32_t version) = 0;
    // Opens a session with the server ("host" or "host:port", "[v6]:port"),
    // greeting it with domain. A handle, or -1.
    virtual std::int32_t DZSmtpConnect(const char* server, const char* domain,
                                       std::int32_t flags) = 0;
    // Sends one message; -1 if it was not sent.
    virtual std::int32_t DZSmtpSendMail(std::int32_t handle, const char* from,
                                        const char* reserved1, const char* reserved2,
                                        const char* to, const char* subject, const char* body,
                                        const char* reserved3, const char* reserved4) = 0;
    virtual std::int32_t DZSmtpDisConnect(std::int32_t handle) = 0;
    virtual void DZUnloadWinsock() = 0;
    // The code of the last failure, and its text into buffer (255 bytes),
    // zero-terminated when it fits.
    virtual std::int32_t DZGetError(char* buffer) = 0;
};
