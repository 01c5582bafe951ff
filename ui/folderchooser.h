#pragma once

#include "scan/operator.h"

namespace dravex {

// The operator as the windows meet them: folders are chosen in Qt's folder dialog, over whichever
// modal window is open at the time.
class FolderChooser : public Operator {
public:
    bool BrowseForFolder(std::string &path, const std::string &title) override;
};

} // namespace dravex
