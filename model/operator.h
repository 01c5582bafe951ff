#pragma once

#include <string>

namespace dravex {

// What the logic needs from the person at the bench. The windows implement it; tests fake it.
class Operator {
public:
    virtual ~Operator() = default;

    // Lets the operator choose a folder. True with the chosen folder in path; false, with path
    // untouched, when the operator cancelled.
    virtual bool BrowseForFolder(std::string &path, const std::string &title) = 0;

    // A modal message with an information icon and one OK button; returns when the operator closed it.
    virtual void showMessage(const std::string &text, const std::string &title) = 0;
};

} // namespace dravex
