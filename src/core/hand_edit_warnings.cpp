#include "core/hand_edit_warnings.h"

#include <QFileInfo>
#include <algorithm>

#include "core/cp932.h"
#include "core/file_error.h"
#include "core/line_file.h"

namespace {

struct NumberSetting {
    const char16_t* name; // as labelled in the settings window
    QString (*outcome)(int value);
};

const NumberSetting kNumbers[] = {
    {u"監視間隔（分）",
     [](int v) {
         // a tick counts one minute, and an interval not above it is due at once
         return QStringLiteral("%1 分ごとに監視します。").arg(std::max(v, 1));
     }},
    {u"ICMP失敗許容値",
     [](int v) {
         return QStringLiteral("各機器に ping を %1 回まで送ります。").arg(std::max(v, 1));
     }},
    {u"TTL値",
     [](int v) {
         // the echo engine puts only 1..255 on the wire
         return QStringLiteral("TTL %1 として送信します。").arg(std::clamp(v, 1, 255));
     }},
    {u"Mail配信停止値",
     [](int v) {
         if (v < 1)
             return QStringLiteral("通知は送信されません。");
         return QStringLiteral("通知は連続 %1 回まで送信されます。").arg(v);
     }},
};

QString place(const QString& file_name, int line) {
    return QStringLiteral("%1 の %2 行目: ").arg(file_name).arg(line);
}

} // namespace

QStringList conf_number_warnings(const QByteArray& conf_bytes, const QString& file_name) {
    QStringList warnings;
    try {
        FieldScanner in(conf_bytes, file_name);
        for (int i = 0; i < 4; ++i)
            in.read_text();
        for (const NumberSetting& setting : kNumbers) {
            const int line = in.line();
            const int value = in.read_number();
            if (value >= 1 && value <= 255)
                continue;
            warnings << place(file_name, line) +
                            QStringLiteral("%1が %2 です（1～255 の範囲外）。")
                                .arg(QString::fromUtf16(setting.name))
                                .arg(value) +
                            setting.outcome(value);
        }
    } catch (const FileError&) {
        // not a conf.ini the program can load; loading it tells the operator
    }
    return warnings;
}

QStringList line_encoding_warnings(const QByteArray& bytes, const QString& file_name) {
    QStringList warnings;
    int line = 1;
    qsizetype start = 0;
    while (start < bytes.size()) {
        // Code page 932 never uses CR or LF inside a character, so the bytes
        // can be cut into lines as the field scanner counts them.
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        QByteArray text = bytes.mid(start, end - start);
        if (text.startsWith(kUtf8Bom)) {
            warnings << place(file_name, line) +
                            (line == 1 ? QStringLiteral("先頭に UTF-8 の BOM があります。"
                                                        "BOM は読み飛ばします。")
                                       : QStringLiteral("行頭に UTF-8 の BOM があります。"
                                                        "この行の値は正しく読めません。"));
            text.remove(0, kUtf8Bom.size());
        }
        if (cp932_decode(text).contains(QChar::ReplacementCharacter))
            warnings << place(file_name, line) +
                            QStringLiteral("シフトJIS（CP932）として正しくない文字があります。"
                                           "その文字は正しく読めません。");
        if (end < bytes.size() && bytes[end] == '\r')
            ++end;
        if (end < bytes.size() && bytes[end] == '\n')
            ++end;
        start = end;
        ++line;
    }
    return warnings;
}

QStringList hand_edit_warnings(const QByteArray& conf_bytes, const QString& conf_name,
                               const QByteArray& kanshi_bytes, const QString& kanshi_name) {
    return conf_number_warnings(conf_bytes, conf_name) +
           line_encoding_warnings(conf_bytes, conf_name) +
           line_encoding_warnings(kanshi_bytes, kanshi_name);
}

QString hand_edit_warning_box_text(const QStringList& warnings) {
    if (warnings.isEmpty())
        return {};
    return QStringLiteral("設定ファイルに次の問題があります。監視はこのまま続けます。\n") +
           warnings.join(u'\n');
}

QString hand_edit_warning_text(const QString& conf_path, const QString& kanshi_path) {
    const auto bytes_of = [](const QString& path) {
        try {
            return read_whole_file(path);
        } catch (const FileError&) {
            return QByteArray();
        }
    };
    return hand_edit_warning_box_text(
        hand_edit_warnings(bytes_of(conf_path), QFileInfo(conf_path).fileName(),
                           bytes_of(kanshi_path), QFileInfo(kanshi_path).fileName()));
}
