// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include "Dialog.h"
#include "DialogWindow.h"
#include "base/Program.h"

#include <cassert>

namespace dialogkit {

namespace {
MessageRecorder *activeRecorder = nullptr;
}

MessageRecorder::MessageRecorder()
{
    assert(activeRecorder == nullptr);
    activeRecorder = this;
}

MessageRecorder::~MessageRecorder()
{
    activeRecorder = nullptr;
}

std::vector<std::string> MessageRecorder::texts() const
{
    std::vector<std::string> list;
    for (const RecordedMessage &m : messages)
        list.push_back(m.text);
    return list;
}

void ShowMessage(Dialog &owner, const std::string &text, MessageIcon icon)
{
    if (activeRecorder != nullptr) {
        RecordedMessage message{owner.Window().Title(), text, icon};
        activeRecorder->messages.push_back(message);
        if (activeRecorder->onMessage)
            activeRecorder->onMessage(message);
        return;
    }
    owner.Window().ShowMessageBox(program::Name(), text, icon);
}

} // namespace dialogkit
