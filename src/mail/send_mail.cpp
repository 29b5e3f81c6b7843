#include "mail/send_mail.h"

#include <QByteArray>
#include <cstring>

#include "core/app_title.h"
#include "core/cp932.h"

namespace {

constexpr std::int32_t kFailed = -1;
constexpr int kErrorBufferSize = 255;

const QString kErrorTitle = QStringLiteral("エラー");

struct ComponentError {
    std::int32_t code;
    QString text;
};

// The component writes a zero-ended text, but a text that fills the buffer
// has no room for the zero: then the whole buffer is the text.
ComponentError read_component_error(SmtpComponent& smtp) {
    char buffer[kErrorBufferSize] = {};
    const std::int32_t code = smtp.DZGetError(buffer);
    const void* zero = std::memchr(buffer, 0, sizeof buffer);
    const qsizetype length =
        zero ? static_cast<const char*>(zero) - buffer : static_cast<qsizetype>(sizeof buffer);
    return {code, cp932_decode(QByteArray(buffer, length))};
}

void show_error_code_box(MessageBoxes& boxes, const ComponentError& error) {
    boxes.ok(QStringLiteral("Code : ") + QString::number(error.code) + QStringLiteral("\r\n\r\n") +
                 error.text,
             app_title(), BoxIcon::None);
}

} // namespace

void SmtpNoticeSender::SendMail(const QString& to_mailadd, const QString& from_mailadd,
                                const QString& pop_server, const QString& from_maildomain,
                                const QString& chk_err_msg, const QString& chk_err_tit) {
    if (smtp_.DZLoadWinsock(1) == kFailed) {
        boxes_.ok(QStringLiteral("Socket:生成ができませんでした。"), kErrorTitle,
                  BoxIcon::Critical);
        return;
    }

    // The encoded texts live until the end of the call that reads them.
    const QByteArray server = cp932_encode_lossy(pop_server);
    const QByteArray domain = cp932_encode_lossy(from_maildomain);
    const std::int32_t handle = smtp_.DZSmtpConnect(server.constData(), domain.constData(), 0);
    if (handle == kFailed) {
        const ComponentError error = read_component_error(smtp_);
        if (error.code == 0)
            boxes_.ok(QStringLiteral("ＳＭＴＰサーバーに接続できません。\r\n"
                                     "サーバー名等を確認してください。"),
                      kErrorTitle, BoxIcon::Critical);
        else
            show_error_code_box(boxes_, error);
        smtp_.DZUnloadWinsock();
        return;
    }

    const QByteArray from = cp932_encode_lossy(from_mailadd);
    const QByteArray to = cp932_encode_lossy(to_mailadd);
    const QByteArray subject = cp932_encode_lossy(chk_err_tit);
    const QByteArray body = cp932_encode_lossy(chk_err_msg);
    const std::int32_t sent = smtp_.DZSmtpSendMail(handle, from.constData(), "", "", to.constData(),
                                                   subject.constData(), body.constData(), "", "");
    if (sent == kFailed)
        show_error_code_box(boxes_, read_component_error(smtp_));

    smtp_.DZSmtpDisConnect(handle);
    smtp_.DZUnloadWinsock();
}
