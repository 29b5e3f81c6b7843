#pragma once
// The read-only HTTP endpoint (libmicrohttpd): /metrics, /api/status, / and
// /target/ADDRESS. GET and HEAD only; loopback unless told otherwise, and
// then only with a bearer token; TLS from certificate and key files. Its
// threads answer from the published snapshot and the history store, so a
// slow or hostile client never reaches the checks or the window.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "history/history_store.h"

class SnapshotPublisher;

struct ListenOptions {
    QString address = QStringLiteral("127.0.0.1"); // IPv4
    std::uint16_t port = 0;                        // 0: any free one
    QString token_file;                            // empty: no token asked
    QString cert_file, key_file;                   // PEM; both or neither
};

// "ADDR:PORT" (an IPv4 address); none when it is not one, *why says so.
std::optional<ListenOptions> parse_listen_address(const QString& text, QString* why);

// Where the pages read figures, events and graphs; any thread.
struct WebHistory {
    std::function<std::vector<DeviceFigures>(qint64 now_s)> figures;
    std::function<std::vector<StoredEvent>(const QString& address, int limit)> events;
    std::function<GraphInput(const QString& address, GraphRange range, qint64 now_s)> graph;
};

struct WebLimits {
    // open at once, in all and from one address; at either, the connection
    // answered longest ago is shut to make room for a newcomer
    unsigned connections = 512;
    unsigned connections_per_ip = 384;
    unsigned timeout_s = 10;                       // idle connection
    std::size_t memory_per_connection = 32 * 1024; // request line and headers
    unsigned threads = 2;
};

class WebServer {
  public:
    WebServer(const SnapshotPublisher& snapshots, WebHistory history, WebLimits limits = {});
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Starts listening; empty when it does, else why not, for the operator.
    QString start(const ListenOptions& options);
    std::uint16_t port() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};
