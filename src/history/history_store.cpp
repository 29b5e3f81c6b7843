#include "history/history_store.h"

// Placeholder until the store is written; replaced whole.
struct HistoryStore::Impl {
    HistoryOptions options;
};

HistoryStore::HistoryStore(HistoryOptions options) : impl_(new Impl{std::move(options)}) {}
HistoryStore::~HistoryStore() = default;
QString HistoryStore::keep(const CheckRecord&) { return QStringLiteral("not kept"); }
std::vector<DeviceLastState> HistoryStore::last_states() { return {}; }
std::vector<DeviceFigures> HistoryStore::figures(qint64) { return {}; }
std::vector<StoredEvent> HistoryStore::events(const QString&, qint64, int) { return {}; }
bool HistoryStore::export_samples(qint64, const QString&,
                                  const std::function<void(const StoredSample&)>&, QString* why) {
    if (why)
        *why = QStringLiteral("not kept");
    return false;
}
GraphInput HistoryStore::graph_input(const QString&, GraphRange, qint64) { return {}; }
const QString& HistoryStore::path() const { return impl_->options.path; }
