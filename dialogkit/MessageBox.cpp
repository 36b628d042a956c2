// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QWidget>

namespace dialogkit {

namespace {
MessageRecorder *activeRecorder = nullptr;
}

MessageRecorder::MessageRecorder()
{
    Q_ASSERT(activeRecorder == nullptr);
    activeRecorder = this;
}

MessageRecorder::~MessageRecorder()
{
    activeRecorder = nullptr;
}

QStringList MessageRecorder::texts() const
{
    QStringList list;
    for (const RecordedMessage &m : messages)
        list << m.text;
    return list;
}

void ShowMessage(QWidget *owner, const QString &text, MessageIcon icon)
{
    if (activeRecorder != nullptr) {
        RecordedMessage message{owner ? owner->windowTitle() : QString(), text, icon};
        activeRecorder->messages.push_back(message);
        if (activeRecorder->onMessage)
            activeRecorder->onMessage(message);
        return;
    }
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QCoreApplication::applicationName(), text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace dialogkit

