#include "platform/smtp/curl_smtp_session.h"

#include <QFile>
#include <algorithm>
#include <cstring>

using namespace std::chrono_literals;

namespace {

long as_curl_ms(std::chrono::milliseconds ms) {
    return static_cast<long>(std::max<std::chrono::milliseconds::rep>(ms.count(), 1));
}

// Where libcurl finds the system's CA certificates, one per hashed name.
constexpr const char* kSystemCaDirectory = "/etc/ssl/certs";

// OpenSSL's verification results (X509_V_ERR_*) that have a reason of their own.
constexpr long kCertificateNotYetValid = 9;
constexpr long kCertificateExpired = 10;
constexpr long kHostnameMismatch = 62;

// Why TLS failed, in the operator's words; nothing when it was not TLS.
// verify_result is the certificate check's own result.
std::optional<QString> tls_reason(CURLcode result, long verify_result, const QString& detail,
                                  const MailSecurity& security) {
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
        if (verify_result == kCertificateExpired)
            return QStringLiteral("TLS（期限切れ）: サーバーの証明書の有効期限が切れています。");
        if (verify_result == kCertificateNotYetValid)
            return QStringLiteral(
                "TLS（有効期間前）: サーバーの証明書はまだ有効になっていません。");
        // libcurl matches the name itself, after the chain was found good.
        if (verify_result == kHostnameMismatch || verify_result == 0 ||
            detail.contains(QLatin1String("match"), Qt::CaseInsensitive))
            return QStringLiteral("TLS（名前の不一致）: サーバーの証明書がサーバー名（または"
                                  "IPアドレス）と一致しません。");
        return QStringLiteral("TLS（不明な認証局）: サーバーの証明書を発行した認証局（CA）が"
                              "信頼されていません。");
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("TLS（ハンドシェイク失敗）: ハンドシェイクに失敗しました。");
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("TLS: CA ファイルを読み込めません: ") + security.ca_file;
    case CURLE_USE_SSL_FAILED:
        if (security.encryption == MailEncryption::None)
            return QStringLiteral("STARTTLS: サーバーが STARTTLS に対応していません。ユーザー名が"
                                  "設定されているため、暗号化なしでパスワードは送りません。");
        return QStringLiteral("STARTTLS: サーバーが STARTTLS に対応していません。");
    default:
        return std::nullopt;
    }
}

bool starts_with(const QByteArray& line, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const char* word) { return line.startsWith(word); });
}

} // namespace

SmtpTimeouts SmtpTimeouts::for_minute(std::chrono::milliseconds minute) {
    const auto scaled = [minute](std::chrono::milliseconds limit, std::chrono::seconds least) {
        return std::max<std::chrono::milliseconds>(limit * minute.count() / 60000, least);
    };
    const SmtpTimeouts full;
    // The whole session still leaves room for every step.
    return {scaled(full.connect, 2s), scaled(full.reply, 2s), scaled(full.quit, 2s),
            scaled(full.session, 20s)};
}

CurlSmtpSession::CurlSmtpSession(SmtpTimeouts timeouts)
    : timeouts_(timeouts), multi_(curl_multi_init()), curl_(curl_easy_init()) {
    if (!curl_ || !multi_) {
        if (curl_)
            curl_easy_cleanup(curl_);
        curl_ = nullptr;
        return;
    }
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_text_);
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    // The program takes no settings from the environment: a proxy variable
    // must not reroute the notices.
    curl_easy_setopt(curl_, CURLOPT_PROXY, "");
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    // Opportunistic STARTTLS: encrypt whenever the server offers it, but do
    // not refuse a server whose certificate we cannot verify (an internal
    // relay with its own certificate). Without TLS the notice would have gone
    // in the clear anyway; failing it here would only lose the notice.
    curl_easy_setopt(curl_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 0L);
    // The steps are timed here (on_progress and the transfer loop); libcurl's
    // own time-outs stay as a backstop that never comes first.
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, as_curl_ms(timeouts_.session));
    set_reply_timeout(timeouts_.reply);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &CurlSmtpSession::on_progress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &CurlSmtpSession::on_reply_line);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &CurlSmtpSession::on_output);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
    // The commands as they go out, and the replies, tell which step is under way.
    curl_easy_setopt(curl_, CURLOPT_DEBUGFUNCTION, &CurlSmtpSession::on_debug);
    curl_easy_setopt(curl_, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(curl_, CURLOPT_VERBOSE, 1L);
}

CurlSmtpSession::~CurlSmtpSession() {
    if (curl_) {
        // The outcome is known by now; a server that does not answer QUIT
        // must not hold the notice's sender for a whole reply time-out. The
        // connection is closed when the multi handle goes, by a handle of
        // libcurl's own that takes its time-outs from the last one added.
        set_reply_timeout(timeouts_.quit);
        curl_multi_add_handle(multi_, curl_);
        curl_multi_remove_handle(multi_, curl_);
        curl_easy_cleanup(curl_);
    }
    if (multi_)
        curl_multi_cleanup(multi_);
}

void CurlSmtpSession::set_reply_timeout(std::chrono::milliseconds limit) {
    // Bounds each reply on its own (the greeting and QUIT's included), where
    // the overall time-out only bounds the session.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(limit).count();
    curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     static_cast<long>(std::max<std::chrono::seconds::rep>(seconds, 1)));
}

void CurlSmtpSession::secure(const MailSecurity& security) {
    security_ = security;
    const bool login = !security.user.isEmpty();
    // A password goes out over TLS or not at all: with a user name even
    // "no encryption" requires STARTTLS, and libcurl says AUTH only after it.
    const bool tls_required = security.encryption != MailEncryption::None || login;
    curl_easy_setopt(curl_, CURLOPT_USE_SSL,
                     static_cast<long>(tls_required ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    const bool verify = security.verify && security.encryption != MailEncryption::None;
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
    if (!security.ca_file.isEmpty()) {
        // The file is trusted besides the system store, not instead of it.
        curl_easy_setopt(curl_, CURLOPT_CAINFO, QFile::encodeName(security.ca_file).constData());
        curl_easy_setopt(curl_, CURLOPT_CAPATH, kSystemCaDirectory);
    }
    if (login) {
        curl_easy_setopt(curl_, CURLOPT_USERNAME, security.user.toUtf8().constData());
        curl_easy_setopt(curl_, CURLOPT_PASSWORD, security.password.toUtf8().constData());
    }
}

std::optional<DeliveryFailure> CurlSmtpSession::open(const SmtpServerAddress& server,
                                                     const QString& ehlo_domain,
                                                     const MailSecurity& security) {
    if (!curl_)
        return DeliveryFailure{DeliveryStage::Start, CURLE_FAILED_INIT,
                               QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT))};
    deadline_ = std::chrono::steady_clock::now() + timeouts_.session;
    stage_ = DeliveryStage::Connect;
    step_deadline_ = std::chrono::steady_clock::now() + timeouts_.connect;
    secure(security);

    // libcurl takes the EHLO name from the URL's path, percent-decoded.
    const QByteArray domain = ehlo_domain.toUtf8();
    char* escaped = curl_easy_escape(curl_, domain.constData(), static_cast<int>(domain.size()));
    QByteArray authority = server.url_authority().toUtf8();
    if (security.encryption == MailEncryption::Tls)
        authority.replace(0, 4, "smtps"); // "smtp://" → "smtps://"
    const QByteArray url = authority + "/" + QByteArray(escaped ? escaped : "");
    curl_free(escaped);
    curl_easy_setopt(curl_, CURLOPT_URL, url.constData());

    // NOOP with no body: libcurl opens the session, says NOOP and keeps the
    // connection for the message.
    curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, "NOOP");
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    const CURLcode result = perform_within_deadline();
    if (result != CURLE_OK)
        return failure(result);
    return std::nullopt;
}

std::optional<DeliveryFailure> CurlSmtpSession::send(const QString& from, const QString& to,
                                                     const QByteArray& message) {
    if (!curl_)
        return DeliveryFailure{DeliveryStage::Start, CURLE_FAILED_INIT,
                               QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT))};
    const QByteArray from_bytes = from.toUtf8();
    const QByteArray to_bytes = to.toUtf8();
    curl_slist* recipients = curl_slist_append(nullptr, to_bytes.constData());
    if (!recipients)
        return DeliveryFailure{DeliveryStage::Mail, CURLE_OUT_OF_MEMORY,
                               QString::fromUtf8(curl_easy_strerror(CURLE_OUT_OF_MEMORY))};

    upload_ = message;
    upload_sent_ = 0;
    curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(curl_, CURLOPT_MAIL_FROM, from_bytes.constData());
    curl_easy_setopt(curl_, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &CurlSmtpSession::on_upload);
    curl_easy_setopt(curl_, CURLOPT_READDATA, this);
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload_.size()));
    step_moved(); // MAIL FROM goes out at once
    const CURLcode result = perform_within_deadline();

    // The list must outlive the transfer, not the handle: nothing is sent later.
    curl_easy_setopt(curl_, CURLOPT_MAIL_RCPT, nullptr);
    curl_slist_free_all(recipients);
    if (result != CURLE_OK)
        return failure(result);
    return std::nullopt;
}

CURLcode CurlSmtpSession::perform_within_deadline() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, as_curl_ms(left));
    error_text_[0] = '\0';
    reply_text_.clear();
    reply_complete_ = true;
    refusal_.reset();
    timed_out_ = false;

    if (curl_multi_add_handle(multi_, curl_) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        // libcurl calls on_progress only now and then while it waits in
        // its connection phase: the step's time is also looked at here.
        if (running > 0 && step_overdue())
            break; // removing the handle below drops the connection
        if (running > 0 && curl_multi_poll(multi_, nullptr, 0, 100, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued))
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl_)
            result = message->data.result;
    curl_multi_remove_handle(multi_, curl_);
    return timed_out_ ? CURLE_OPERATION_TIMEDOUT : result;
}

void CurlSmtpSession::step_moved() {
    const bool connecting = stage_ == DeliveryStage::Connect || stage_ == DeliveryStage::Greeting;
    if (!connecting) // connection and greeting share one time-out
        step_deadline_ = std::chrono::steady_clock::now() + timeouts_.reply;
}

bool CurlSmtpSession::step_overdue() {
    if (std::chrono::steady_clock::now() >= step_deadline_)
        timed_out_ = true;
    return timed_out_;
}

std::chrono::milliseconds CurlSmtpSession::step_limit() const {
    const bool connecting = stage_ == DeliveryStage::Connect || stage_ == DeliveryStage::Greeting;
    return connecting ? timeouts_.connect : timeouts_.reply;
}

DeliveryFailure CurlSmtpSession::failure(CURLcode result) const {
    // The server's own refusal says most: its code and words.
    // It names the step it answered: libcurl may say QUIT before it reports.
    if (refusal_) {
        if (refusal_->stage == DeliveryStage::Auth)
            return {refusal_->stage, refusal_->code,
                    QStringLiteral("SMTP 認証（AUTH）が拒否されました。\r\n") + refusal_->text};
        return *refusal_;
    }
    QString text = QString::fromUtf8(error_text_);
    if (text.isEmpty() || timed_out_)
        text = QString::fromUtf8(curl_easy_strerror(result));
    if (result == CURLE_OPERATION_TIMEDOUT)
        text = QStringLiteral("%1 秒待っても応答がありません（%2）。")
                   .arg(std::chrono::ceil<std::chrono::seconds>(step_limit()).count())
                   .arg(text);
    long verify_result = 0;
    curl_easy_getinfo(curl_, CURLINFO_SSL_VERIFYRESULT, &verify_result);
    if (const std::optional<QString> reason = tls_reason(result, verify_result, text, security_))
        return {stage_, static_cast<int>(result), *reason + QStringLiteral("\r\n") + text};
    const bool unreachable = result == CURLE_COULDNT_RESOLVE_HOST ||
                             result == CURLE_COULDNT_CONNECT || result == CURLE_OPERATION_TIMEDOUT;
    if (unreachable && (stage_ == DeliveryStage::Connect || stage_ == DeliveryStage::Greeting))
        return {stage_, delivery_code::unreachable, text};
    return {stage_, static_cast<int>(result), text};
}

size_t CurlSmtpSession::on_reply_line(char* data, size_t size, size_t count, void* self_ptr) {
    auto* self = static_cast<CurlSmtpSession*>(self_ptr);
    const size_t length = size * count;
    QByteArray line(data, static_cast<qsizetype>(length));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);

    // "250-..." continues a reply, "250 ..." (or a bare "250") ends it.
    const bool has_code =
        line.size() >= 3 &&
        std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; });
    if (!has_code)
        return length;
    const bool last_line = line.size() == 3 || line.at(3) != '-';
    if (self->reply_complete_)
        self->reply_text_.clear();
    if (!self->reply_text_.isEmpty())
        self->reply_text_ += QLatin1String("\r\n");
    self->reply_text_ += QString::fromUtf8(line.mid(4));
    self->reply_complete_ = last_line;
    if (!last_line)
        return length;

    const int code = line.left(3).toInt();
    if (code >= 400)
        self->refusal_ = DeliveryFailure{self->stage_, code, self->reply_text_};
    else if (code != 221)
        self->refusal_.reset();
    return length;
}

size_t CurlSmtpSession::on_upload(char* buffer, size_t size, size_t count, void* self_ptr) {
    auto* self = static_cast<CurlSmtpSession*>(self_ptr);
    const qsizetype room = static_cast<qsizetype>(size * count);
    const qsizetype n = std::min(room, self->upload_.size() - self->upload_sent_);
    std::memcpy(buffer, self->upload_.constData() + self->upload_sent_, static_cast<size_t>(n));
    self->upload_sent_ += n;
    self->step_moved();
    return static_cast<size_t>(n);
}

size_t CurlSmtpSession::on_output(char*, size_t size, size_t count, void*) {
    return size * count; // command replies are read through on_reply_line
}

int CurlSmtpSession::on_debug(CURL*, curl_infotype type, char* data, size_t size, void* self_ptr) {
    auto* self = static_cast<CurlSmtpSession*>(self_ptr);
    if (self->timed_out_)
        return 0; // the step that ran out of time is the one to name
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(size)).toUpper();
    DeliveryStage& stage = self->stage_;
    switch (type) {
    case CURLINFO_TEXT:
        // Connected; with SMTPS only once TLS is up. The greeting is next.
        if (stage == DeliveryStage::Connect &&
            (line.startsWith("SSL CONNECTION USING") ||
             (line.startsWith("CONNECTED TO") &&
              self->security_.encryption != MailEncryption::Tls)))
            stage = DeliveryStage::Greeting;
        return 0;
    case CURLINFO_HEADER_IN:
        // The end of the message was taken in hand: its "." comes next.
        if (stage == DeliveryStage::Data && line.startsWith("354"))
            stage = DeliveryStage::MessageEnd;
        break;
    case CURLINFO_HEADER_OUT:
        if (starts_with(line, {"EHLO", "HELO"}))
            stage = DeliveryStage::Ehlo;
        else if (line.startsWith("STARTTLS"))
            stage = DeliveryStage::StartTls;
        else if (line.startsWith("AUTH"))
            stage = DeliveryStage::Auth;
        else if (line.startsWith("NOOP"))
            stage = DeliveryStage::Noop;
        else if (line.startsWith("MAIL"))
            stage = DeliveryStage::Mail;
        else if (line.startsWith("RCPT"))
            stage = DeliveryStage::Rcpt;
        else if (line.startsWith("DATA"))
            stage = DeliveryStage::Data;
        else if (line.startsWith("QUIT"))
            stage = DeliveryStage::Quit;
        // Anything else goes on with AUTH (user, password): the step stays.
        break;
    default:
        return 0;
    }
    self->step_moved();
    return 0;
}

int CurlSmtpSession::on_progress(void* self_ptr, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    // Non-zero ends the transfer, also where libcurl waits for a reply
    // inside one call.
    return static_cast<CurlSmtpSession*>(self_ptr)->step_overdue() ? 1 : 0;
}
