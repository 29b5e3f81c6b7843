#include "settings/conf_file.h"

#include <QFileInfo>
#include <algorithm>

#include "core/line_file.h"
#include "core/safe_save.h"
#include "core/settings.h"

namespace {

// The four numbers as the settings window labels them, and what the program
// does with a value outside 1..255.
struct NumberSetting {
    int16 Settings::*field;
    const char16_t* name;
    QString (*outcome)(int value);
};

const NumberSetting kNumbers[] = {
    {&Settings::interval_minutes, u"監視間隔（分）",
     [](int v) {
         // a tick counts one minute, and an interval not above it is due at once
         return QStringLiteral("%1 分ごとに監視します。").arg(std::max(v, 1));
     }},
    {&Settings::attempts, u"ICMP失敗許容値",
     [](int v) {
         return QStringLiteral("各機器に ping を %1 回まで送ります。").arg(std::max(v, 1));
     }},
    {&Settings::ttl, u"TTL値",
     [](int v) {
         // the echo engine puts only 1..255 on the wire
         return QStringLiteral("TTL %1 として送信します。").arg(std::clamp(v, 1, 255));
     }},
    {&Settings::stop_after_notices, u"Mail配信停止値",
     [](int v) {
         if (v < 1)
             return QStringLiteral("通知は送信されません。");
         return QStringLiteral("通知は連続 %1 回まで送信されます。").arg(v);
     }},
};

} // namespace

FileRead load_settings(Settings& settings, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    try {
        const QByteArray bytes = read_whole_file(path);
        FieldScanner in(bytes, name);
        // Read everything first, so that a file that fails leaves the settings alone.
        Settings read;
        read.admin_address = in.read_text();
        read.sender_address = in.read_text();
        read.smtp_server = in.read_text();
        read.sender_domain = in.read_text();
        QStringList number_warnings;
        for (const NumberSetting& number : kNumbers) {
            const int line = in.line();
            const int16 value = in.read_number();
            read.*number.field = value;
            if (value >= 1 && value <= 255)
                continue;
            number_warnings << QStringLiteral("%1 の %2 行目: %3が %4 です（1～255 の範囲外）。")
                                       .arg(name)
                                       .arg(line)
                                       .arg(QString::fromUtf16(number.name))
                                       .arg(value) +
                                   number.outcome(value);
        }
        settings = read;
        return number_warnings + line_encoding_warnings(bytes, name, in.last_line_read());
    } catch (const FileError& e) {
        return e.failure;
    }
}

void save_settings(const Settings& settings, const QString& path) {
    LineWriter out;
    out.text(settings.admin_address);
    out.text(settings.sender_address);
    out.text(settings.smtp_server);
    out.text(settings.sender_domain);
    out.number(settings.interval_minutes);
    out.number(settings.attempts);
    out.number(settings.ttl);
    out.number(settings.stop_after_notices);
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()));
}
