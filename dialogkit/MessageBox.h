// SPDX-License-Identifier: GPL-3.0-or-later
// Every message the program shows goes through ShowMessage, so tests can
// record messages instead of showing them.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace dialogkit {

enum class MessageIcon { None, Warning };

// A modal message box owned by `owner`, captioned with the application's
// name, with a single OK button.
void ShowMessage(QWidget *owner, const QString &text, MessageIcon icon = MessageIcon::None);

struct RecordedMessage {
    QString owner; // the owner window's title
    QString text;
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

    QStringList texts() const;
    void clear() { messages.clear(); }
};

} // namespace dialogkit
