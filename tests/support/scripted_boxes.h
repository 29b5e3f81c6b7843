#pragma once
// Message boxes for tests: each box is recorded, and answered from a script
// (or with its default answer when the script is empty).
#include <deque>
#include <functional>
#include <vector>

#include "core/message_box.h"

class ScriptedBoxes : public MessageBoxes {
  public:
    BoxAnswer show(const BoxRequest& request) override {
        shown.push_back(request);
        if (on_show)
            on_show(request);
        if (answers.empty())
            return request.default_answer;
        BoxAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<BoxRequest> shown;
    std::deque<BoxAnswer> answers;
    std::function<void(const BoxRequest&)> on_show; // runs while the box would be up

    const BoxRequest& last() const { return shown.back(); }
    void clear() { shown.clear(); }
};
