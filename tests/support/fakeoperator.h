#pragma once

#include "model/operator.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dravex {

// Stands in for the person at the bench: answers the folder chooser with a set choice (or cancels) and
// records every message instead of showing it, running an optional action while the "box" is open.
class FakeOperator : public Operator {
public:
    std::optional<std::string> choice;
    std::vector<std::string> browseTitles;
    std::vector<std::pair<std::string, std::string>> messages;
    std::function<void()> whileShown;

    bool BrowseForFolder(std::string &path, const std::string &title) override {
        browseTitles.push_back(title);
        if (!choice)
            return false;
        path = *choice;
        return true;
    }
    void showMessage(const std::string &text, const std::string &title) override {
        messages.emplace_back(text, title);
        if (whileShown)
            whileShown();
    }
};

} // namespace dravex
