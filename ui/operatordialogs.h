#pragma once

#include "model/operator.h"

namespace dravex {

// The operator as the windows meet them: Qt's folder dialog and message box, over whichever window is
// active at the time.
class OperatorDialogs : public Operator {
public:
    bool BrowseForFolder(std::string &path, const std::string &title) override;
    void showMessage(const std::string &text, const std::string &title) override;
};

} // namespace dravex
