#pragma once

#include "reports/ReportDialogs.h"

namespace kr90x::bench {

// Benchmarks run unattended: every box is answered at once and forgotten, every report
// window cancelled.
class NoDialogs : public reports::ReportDialogs {
public:
    void showBox(const MessageBox&) override {}
};

} // namespace kr90x::bench
