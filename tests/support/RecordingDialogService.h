#pragma once

#include "core/DialogService.h"

#include <vector>

namespace kr90x::test {

// Records every box the program asks for and answers at once, so no test blocks.
class RecordingDialogService : public DialogService {
public:
    void showBox(const MessageBox& box) override { boxes.push_back(box); }

    std::vector<MessageBox> boxes;
};

} // namespace kr90x::test
