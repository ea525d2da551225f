#pragma once

#include "core/DialogService.h"

namespace kr90x::bench {

// Benchmarks run unattended: every box is answered at once and forgotten.
class NoDialogs : public DialogService {
public:
    void showBox(const MessageBox&) override {}
};

} // namespace kr90x::bench
