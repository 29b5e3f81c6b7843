#pragma once
// Message boxes for a run without a display: each box becomes one line on
// standard error, and the program goes on as if the operator had taken the
// box's default answer.
#include <QString>
#include <cstdio>

#include "core/message_box.h"

class StderrMessageBoxes : public MessageBoxes {
  public:
    BoxAnswer show(const BoxRequest& request) override {
        QString text = request.text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        QStringList trimmed;
        for (const QString& l : lines)
            trimmed << l.trimmed();
        const QString line =
            QStringLiteral("pelmora: %1: %2\n").arg(request.title, trimmed.join(u' '));
        std::fputs(line.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        return request.default_answer;
    }

    // A warning list keeps its lines: one line each on standard error.
    void inform(const BoxRequest& request, Kind kind) override {
        if (kind != Kind::HandEditWarnings) {
            show(request);
            return;
        }
        QString text = request.text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
            std::fputs(QStringLiteral("pelmora: %1\n").arg(line).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }
};
