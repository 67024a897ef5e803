#include "history/reportsource.h"

namespace kalmix {

namespace {
ReportSource* g_source = nullptr;
}

ReportSource* reportSource() {
    return g_source;
}

void setReportSource(ReportSource* source) {
    g_source = source;
}

} // namespace kalmix
