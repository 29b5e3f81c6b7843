#include "history/graph_model.h"

// Placeholder until the graph is drawn; replaced whole.
QString graph_range_text(GraphRange) {
    return {};
}
qint64 graph_range_seconds(GraphRange) {
    return 0;
}
GraphModel build_graph(GraphRange range, qint64, const GraphInput&, int) {
    GraphModel model;
    model.range = range;
    return model;
}
std::optional<std::size_t> point_at(const GraphModel&, double) {
    return std::nullopt;
}
QString hover_text(const GraphModel&, const GraphPoint&) {
    return {};
}
