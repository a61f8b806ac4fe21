// The served folder as found when a launch starts.
#pragma once

#include <memory>
#include <string>

namespace quorvin::fs {

// Looked up once, so that the look-ups below it start from what was found then rather than
// resolving the folder again for every request. A folder that could not be found then is looked
// up again by every look-up below it.
class ServedFolder {
public:
    explicit ServedFolder(std::string root);
    ~ServedFolder();
    ServedFolder(const ServedFolder&) = delete;
    ServedFolder& operator=(const ServedFolder&) = delete;

    // The folder as the launch named it, in the form mapRequestPath expects.
    const std::string& root() const { return root_; }

    // What the platform's backend keeps of the folder; null when it could not be found.
    struct State;
    const State* state() const { return state_.get(); }

private:
    std::string root_;
    std::unique_ptr<State> state_;
};

} // namespace quorvin::fs
