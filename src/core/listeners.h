#pragma once
// The listeners of a state that announces its changes, each under the number
// that takes it off again.
#include <algorithm>
#include <utility>
#include <vector>

template <class Listener> class Listeners {
  public:
    int add(Listener listener) {
        entries_.emplace_back(next_, std::move(listener));
        return next_++;
    }
    void remove(int id) {
        std::erase_if(entries_, [id](const auto& e) { return e.first == id; });
    }

    // Tells those listening now. A listener may add or remove listeners (or
    // itself) while told: the calls run over a copy, one added meanwhile waits
    // for the next change, one removed meanwhile is not called any more.
    template <class... Args> void tell(const Args&... args) const {
        const auto now = entries_;
        for (const auto& entry : now)
            if (std::any_of(entries_.begin(), entries_.end(),
                            [id = entry.first](const auto& e) { return e.first == id; }))
                entry.second(args...);
    }

  private:
    std::vector<std::pair<int, Listener>> entries_;
    int next_ = 1;
};
