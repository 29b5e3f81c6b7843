// Two threads write one plain int with nothing ordering them: a data race
// that ThreadSanitizer must report.
#include <thread>

int main() {
    int counter = 0;
    const auto count = [&counter] {
        for (int i = 0; i < 1000; ++i)
            ++counter;
    };
    std::thread first(count), second(count);
    first.join();
    second.join();
    return counter > 0 ? 0 : 1;
}
