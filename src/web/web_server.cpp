#include "web/web_server.h"

#include <QFile>
#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <list>
#include <microhttpd.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include "web/metrics_text.h"
#include "web/web_pages.h"
#include "web/web_snapshot.h"

std::optional<ListenOptions> parse_listen_address(const QString& text, QString* why) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    bool port_ok = false;
    const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&port_ok);
    in_addr parsed{};
    const QString host = colon < 0 ? QString() : text.left(colon);
    if (!port_ok || port > 65535 ||
        ::inet_pton(AF_INET, host.toLatin1().constData(), &parsed) != 1) {
        *why = QStringLiteral("--listen には IPv4 アドレスとポート（例 127.0.0.1:10067）を指定して"
                              "ください: ") +
               text;
        return std::nullopt;
    }
    ListenOptions options;
    options.address = host;
    options.port = static_cast<std::uint16_t>(port);
    return options;
}

namespace {

bool is_loopback_address(const QString& address) {
    in_addr parsed{};
    return ::inet_pton(AF_INET, address.toLatin1().constData(), &parsed) == 1 &&
           (ntohl(parsed.s_addr) >> 24) == 127;
}

// A token file as the server takes it: only its owner may read it, and a
// trailing line break is not part of the token. Empty with *why on refusal.
QByteArray read_token_file(const QString& path, QString* why) {
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &info) != 0) {
        *why = QStringLiteral("トークンファイルを読めません: ") + path;
        return {};
    }
    if ((info.st_mode & 077) != 0) {
        *why = QStringLiteral("トークンファイルは所有者以外が読み書きできないようにしてください"
                              "（chmod 600 %1）。")
                   .arg(path);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("トークンファイルを読めません: ") + path;
        return {};
    }
    QByteArray token = file.read(4096);
    if (token.endsWith('\n'))
        token.chop(1);
    if (token.endsWith('\r'))
        token.chop(1);
    if (token.isEmpty())
        *why = QStringLiteral("トークンファイルが空です: ") + path;
    return token;
}

// Equal in time independent of where they differ: every byte of the longer
// one is looked at, whatever differs first.
bool tokens_equal(const QByteArray& given, const QByteArray& expected) {
    const qsizetype n = std::max(given.size(), expected.size());
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        const unsigned char b = i < expected.size() ? static_cast<unsigned char>(expected[i]) : 0;
        difference |= static_cast<unsigned char>(a ^ b);
    }
    return difference == 0;
}

// Every open connection, the one answered longest ago first. When the server
// or one address is full, that one is shut to make room for the newcomer, so
// a client that sends its request at once (a scrape) always gets in, while
// one that trickles its header, or idles, makes way. libmicrohttpd itself
// would turn the newcomer away and keep the trickling ones.
class ConnectionRoster {
  public:
    ConnectionRoster(unsigned limit, unsigned per_address)
        : limit_(limit), per_address_limit_(per_address) {}

    void started(MHD_Connection* connection, void** context) {
        const MHD_ConnectionInfo* fd =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const MHD_ConnectionInfo* from =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        if (!fd || !from || from->client_addr->sa_family != AF_INET)
            return;
        const in_addr_t address =
            reinterpret_cast<const sockaddr_in*>(from->client_addr)->sin_addr.s_addr;
        const auto from_there = [address](const Held& h) { return h.address == address; };
        std::lock_guard lock(mutex_);
        // a few hundred at most, once per connection
        if (std::count_if(open_.begin(), open_.end(), from_there) >= per_address_limit_)
            shut_oldest(from_there);
        if (open_.size() >= limit_)
            shut_oldest([](const Held&) { return true; });
        open_.push_back({fd->connect_fd, address, {}, false});
        open_.back().self = std::prev(open_.end());
        *context = &open_.back();
    }

    // A whole request has arrived: the connection goes to the back of the line.
    void answered(MHD_Connection* connection) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        std::lock_guard lock(mutex_);
        if (auto* held = info ? static_cast<Held*>(info->socket_context) : nullptr;
            held && !held->shut)
            open_.splice(open_.end(), open_, held->self);
    }

    // libmicrohttpd tells this before it closes the socket, so a descriptor
    // still in the roster is never one already reused by another connection.
    void closed(void** context) {
        auto* held = static_cast<Held*>(*context);
        *context = nullptr;
        if (!held)
            return;
        std::lock_guard lock(mutex_);
        (held->shut ? shut_ : open_).erase(held->self);
    }

  private:
    struct Held {
        int fd;
        in_addr_t address;
        std::list<Held>::iterator self;
        bool shut;
    };

    template <typename Which> void shut_oldest(Which which) {
        const auto oldest = std::find_if(open_.begin(), open_.end(), which);
        if (oldest == open_.end())
            return;
        // its own thread sees the end, closes it and tells closed()
        ::shutdown(oldest->fd, SHUT_RDWR);
        oldest->shut = true;
        shut_.splice(shut_.end(), open_, oldest);
    }

    const unsigned limit_, per_address_limit_;
    std::mutex mutex_;
    std::list<Held> open_, shut_;
};

} // namespace

struct WebServer::Impl {
    const SnapshotPublisher& snapshots;
    WebHistory history;
    WebLimits limits;
    QByteArray token; // empty: none asked
    QByteArray cert, key;
    MHD_Daemon* daemon = nullptr;
    std::uint16_t port = 0;
    ConnectionRoster roster{limits.connections, limits.connections_per_ip};
};

namespace {

struct Reply {
    unsigned status = MHD_HTTP_OK;
    QByteArray type = "text/plain; charset=utf-8";
    QByteArray body;
};

MHD_Result send(MHD_Connection* connection, const Reply& reply, bool html_page = false) {
    MHD_Response* response = MHD_create_response_from_buffer(
        static_cast<size_t>(reply.body.size()), const_cast<char*>(reply.body.constData()),
        MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type.constData());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    if (html_page)
        MHD_add_response_header(response, "Content-Security-Policy",
                                "default-src 'none'; style-src 'unsafe-inline'; img-src data:");
    if (reply.status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    if (reply.status == MHD_HTTP_UNAUTHORIZED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE,
                                "Bearer realm=\"pelmora\"");
    const MHD_Result result = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return result;
}

bool authorized(const WebServer::Impl& impl, MHD_Connection* connection) {
    if (impl.token.isEmpty())
        return true;
    const char* header =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    static constexpr char kBearer[] = "Bearer ";
    if (!header || std::strncmp(header, kBearer, sizeof kBearer - 1) != 0)
        return false;
    return tokens_equal(QByteArray(header + sizeof kBearer - 1), impl.token);
}

MHD_Result answer(void* cls, MHD_Connection* connection, const char* url, const char* method,
                  const char* /*version*/, const char* /*upload_data*/,
                  size_t* /*upload_data_size*/, void** /*request*/) {
    auto& impl = *static_cast<WebServer::Impl*>(cls);
    impl.roster.answered(connection);
    if (!authorized(impl, connection))
        return send(connection,
                    {MHD_HTTP_UNAUTHORIZED, "text/plain; charset=utf-8", "401 unauthorized\n"});
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
        std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
        return send(connection, {MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8",
                                 "405 method not allowed: GET and HEAD only\n"});
    const std::shared_ptr<const WebSnapshot> snapshot = impl.snapshots.current();
    const QString path = QString::fromUtf8(url);
    if (path == QLatin1String("/metrics"))
        return send(connection, {MHD_HTTP_OK, kMetricsContentType, metrics_text(*snapshot)});
    const qint64 now_s = snapshot->taken_s;
    const auto figures = [&] {
        return impl.history.figures ? impl.history.figures(now_s) : std::vector<DeviceFigures>{};
    };
    if (path == QLatin1String("/api/status"))
        return send(connection, {MHD_HTTP_OK, "application/json; charset=utf-8",
                                 status_json(*snapshot, figures())});
    if (path == QLatin1String("/"))
        return send(connection,
                    {MHD_HTTP_OK, "text/html; charset=utf-8", status_page(*snapshot, figures())},
                    true);
    static const QString kTarget = QStringLiteral("/target/");
    if (path.startsWith(kTarget)) {
        const QString address = path.mid(kTarget.size());
        const bool listed = std::any_of(snapshot->targets.begin(), snapshot->targets.end(),
                                        [&](const WebTarget& t) { return t.address == address; });
        if (listed) {
            TargetPageData data;
            data.address = address;
            for (const DeviceFigures& f : figures())
                if (f.address == address)
                    data.figures = f;
            if (impl.history.events)
                data.events = impl.history.events(address, 50);
            for (const GraphRange range : {GraphRange::Day, GraphRange::Week, GraphRange::Month})
                data.graphs.push_back(build_graph(
                    range, QDateTime::currentSecsSinceEpoch(),
                    impl.history.graph ? impl.history.graph(address, range, now_s) : GraphInput{},
                    300));
            return send(connection,
                        {MHD_HTTP_OK, "text/html; charset=utf-8", target_page(*snapshot, data)},
                        true);
        }
    }
    return send(connection, {MHD_HTTP_NOT_FOUND, "text/plain; charset=utf-8", "404 not found\n"});
}

void notify_connection(void* cls, MHD_Connection* connection, void** context,
                       MHD_ConnectionNotificationCode what) {
    auto& roster = static_cast<WebServer::Impl*>(cls)->roster;
    if (what == MHD_CONNECTION_NOTIFY_STARTED)
        roster.started(connection, context);
    else
        roster.closed(context);
}

} // namespace

WebServer::WebServer(const SnapshotPublisher& snapshots, WebHistory history, WebLimits limits)
    : impl_(new Impl{snapshots, std::move(history), limits, {}, {}, {}, nullptr, 0}) {}

WebServer::~WebServer() {
    if (impl_->daemon)
        MHD_stop_daemon(impl_->daemon);
}

std::uint16_t WebServer::port() const {
    return impl_->port;
}

QString WebServer::start(const ListenOptions& options) {
    const bool tls = !options.cert_file.isEmpty() || !options.key_file.isEmpty();
    if (!is_loopback_address(options.address)) {
        if (options.token_file.isEmpty())
            return QStringLiteral("ループバック以外のアドレス（%1）で待ち受けるには "
                                  "--listen-token-file でトークンファイルを指定してください。")
                .arg(options.address);
        // off loopback the token would otherwise cross the network in clear text
        if (!tls)
            return QStringLiteral("ループバック以外のアドレス（%1）で待ち受けるには --listen-cert "
                                  "と --listen-key で TLS の証明書と鍵を指定してください。")
                .arg(options.address);
    }
    QString why;
    if (!options.token_file.isEmpty()) {
        impl_->token = read_token_file(options.token_file, &why);
        if (impl_->token.isEmpty())
            return why;
    }
    if (tls) {
        QFile cert(options.cert_file), key(options.key_file);
        if (options.cert_file.isEmpty() || options.key_file.isEmpty() ||
            !cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return QStringLiteral("--listen-cert と --listen-key には読める PEM ファイルを"
                                  "両方指定してください。");
        impl_->cert = cert.readAll();
        impl_->key = key.readAll();
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES)
            return QStringLiteral("この libmicrohttpd は TLS に対応していません。");
    }
    sockaddr_in bind_to{};
    bind_to.sin_family = AF_INET;
    bind_to.sin_port = htons(options.port);
    ::inet_pton(AF_INET, options.address.toLatin1().constData(), &bind_to.sin_addr);

    const WebLimits& l = impl_->limits;
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO;
    if (tls)
        flags |= MHD_USE_TLS;
    std::vector<MHD_OptionItem> items = {
        {MHD_OPTION_SOCK_ADDR, 0, &bind_to},
        // The roster keeps the limits by making room. libmicrohttpd's own are
        // a backstop that would refuse instead: above the roster's, since it
        // counts a shut connection until its thread has closed it and splits
        // its limit among its threads; none for one address.
        {MHD_OPTION_CONNECTION_LIMIT, l.connections * 3 / 2, nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&notify_connection), impl_.get()},
        {MHD_OPTION_CONNECTION_TIMEOUT, l.timeout_s, nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(l.memory_per_connection),
         nullptr},
        {MHD_OPTION_THREAD_POOL_SIZE, l.threads, nullptr},
    };
    if (tls) {
        items.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(impl_->cert.constData())});
        items.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(impl_->key.constData())});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});
    impl_->daemon = MHD_start_daemon(flags, options.port, nullptr, nullptr, &answer, impl_.get(),
                                     MHD_OPTION_ARRAY, items.data(), MHD_OPTION_END);
    if (!impl_->daemon)
        return QStringLiteral("%1:%2 で待ち受けられません（使用中のポート、またはアドレスか"
                              "証明書が不正です）。")
            .arg(options.address)
            .arg(options.port);
    const MHD_DaemonInfo* info = MHD_get_daemon_info(impl_->daemon, MHD_DAEMON_INFO_BIND_PORT);
    impl_->port = info ? info->port : options.port;
    return {};
}
