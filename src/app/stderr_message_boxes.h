#pragma once
// Message boxes for a run without a display: each box becomes one line on
// standard error, and the program goes on as if the operator had taken the
// box's default answer.
#include <QStringList>

#include "app/stderr_lines.h"
#include "core/app_title.h"
#include "core/message_box.h"

class StderrMessageBoxes : public MessageBoxes {
  public:
    BoxAnswer show(const BoxRequest& request) override {
        QStringList parts;
        for (const QString& line : box_text_lines(request.text))
            if (!line.trimmed().isEmpty())
                parts << line.trimmed();
        // every line already starts with the program's name
        const bool own_title = !request.title.isEmpty() && request.title != app_title();
        tell_on_stderr((own_title ? request.title + QStringLiteral(": ") : QString()) +
                       parts.join(u' '));
        return request.default_answer;
    }

    // A warning list keeps its lines: one line each on standard error.
    void inform(const BoxRequest& request, Kind kind) override {
        if (kind != Kind::HandEditWarnings) {
            show(request);
            return;
        }
        for (const QString& line : box_text_lines(request.text))
            if (!line.isEmpty())
                tell_on_stderr(line);
    }
};
