// SPDX-License-Identifier: GPL-3.0-or-later
// Every message the program shows goes through ShowMessage, so tests can
// record messages instead of showing them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dialogkit {

class Dialog;

enum class MessageIcon { None, Warning };

// A modal message box owned by `owner`'s window, captioned with the
// application's name, with a single OK button. Every box has an owner: the
// window it speaks for stays behind it until it is read.
void ShowMessage(Dialog &owner, const std::string &text, MessageIcon icon = MessageIcon::None);

struct RecordedMessage {
    std::string owner; // the owner window's title
    std::string text;
    MessageIcon icon;
};

// While alive, messages are appended to `messages` instead of being shown.
// An optional callback runs for each, as a user reading the box would.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    std::vector<RecordedMessage> messages;
    std::function<void(const RecordedMessage &)> onMessage;

    std::vector<std::string> texts() const;
    void clear() { messages.clear(); }
};

} // namespace dialogkit
