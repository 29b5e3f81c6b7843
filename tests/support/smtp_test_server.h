#pragma once
// A real SMTP server on 127.0.0.1 for the length of a test (smtp_server.py
// under /usr/bin/python3). Throws std::runtime_error when it cannot start.
//
//   SmtpTestServer server;                       // accepts everything
//   sender.SendMail(..., server.address(), ...); // "127.0.0.1:<port>"
//   server.messages()                            // what arrived, in order
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <vector>

struct ReceivedMail {
    QString mail_from;    // envelope sender
    QStringList rcpt_tos; // envelope recipients
    QString ehlo;         // the name the client greeted with
    bool tls = false;     // the message came over a session that had started TLS
    QByteArray data;      // the message exactly as received (CR LF, no dot-stuffing)
};

class SmtpTestServer {
  public:
    enum class Mode {
        Normal,          // accepts everything
        RejectRecipient, // every RCPT gets "550 5.1.1 No such user here"
        Greeting554,     // greets with "554 Service not available, closing channel"
        Silent,          // accepts the connection and never answers
        StartTls,        // offers STARTTLS (self-signed certificate) and requires it
        Slow,            // waits reply_delay before every reply, the greeting too
        MuteAfterData,   // never answers the end of the message
        MuteAfterQuit,   // takes the message, never answers QUIT
        MuteAfterEhlo,   // never answers EHLO
        MuteAfterAuth,   // TLS from the first byte (self-signed), never answers AUTH
        MuteDataCommand, // never answers DATA
    };

    // A server that accepts everything, behind TLS with a certificate of
    // the test's and/or a login.
    struct Secure {
        enum class Tls { None, StartTls, Implicit } tls = Tls::None;
        QString cert, key; // PEM files the server presents
        // AUTH offered (over TLS when there is TLS) and required for mail;
        // empty: no AUTH.
        QString user, password;
    };

    // From Silent on, a server recovers after recover_after_sessions: then
    // it takes everything.
    explicit SmtpTestServer(Mode mode = Mode::Normal,
                            std::chrono::milliseconds reply_delay = std::chrono::milliseconds(0),
                            int recover_after_sessions = -1);
    explicit SmtpTestServer(const Secure& secure);
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    quint16 port() const { return port_; }
    QString address() const; // "127.0.0.1:<port>", a server setting
    std::vector<ReceivedMail> messages() const;

    // Client sessions started and ended so far (a session starts with the
    // client's greeting; in Greeting554 and Silent mode with its connection).
    int sessions_opened() const { return session_lines("open"); }
    int sessions_closed() const { return session_lines("closed"); }
    // sessions the client ended with QUIT (Normal, RejectRecipient)
    int sessions_quit() const { return session_lines("quit"); }
    int mail_commands() const { return session_lines("mail"); } // MAIL, whatever the answer
    int auth_commands() const { return session_lines("auth"); } // AUTH, whatever the answer
    // Waits until every session that was opened has ended.
    bool
    wait_until_sessions_closed(std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

    // A loopback port nothing listens on (bound and released at once).
    static quint16 unused_port();

  private:
    void start(const QStringList& arguments);
    int session_lines(const char* line) const; // lines of the server's session log

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};
