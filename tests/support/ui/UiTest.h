// SPDX-License-Identifier: GPL-3.0-or-later
// Driving real windows from tests, headless: modal runs are driven from the
// event loop, through real key presses and mouse clicks.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <functional>

class QAccessibleInterface;

namespace dialogkit {
class MessageRecorder;
}

namespace uitest {

using namespace std::chrono_literals;

// Runs `script` on the next modal window that opens and becomes active (the
// window comes to the script already active, so keys reach it). If that
// window is still open `timeout` after it opened... the test fails and every
// modal window is closed, so a failing test cannot hang.
void OnNextModal(std::function<void(QWidget *)> script,
                 std::chrono::milliseconds timeout = 30s);

// The control with this id in `window`.
QWidget *Control(QWidget *window, int id);
// The text it shows (a label's, a box's, a button's).
QString TextOf(QWidget *window, int id);

// What assistive tools (screen readers) see of the control with this id.
QAccessibleInterface *AccessibleOf(QWidget *window, int id);
// The name a screen reader speaks for a control: its accessible name, or for
// a drop-down list, whose name on Linux is its current item, the text of the
// label that labels it (the accessible relation).
QString SpokenName(QWidget *window, int id);

void Click(QWidget *window, int id);
// A key pressed where the keyboard focus is in `window`.
void PressKey(QWidget *window, int key);
// Gives the edit box the focus, selects its text and types `text`.
void TypeInto(QWidget *window, int id, const QString &text);
// The id of the control that has the keyboard focus, or 0.
int FocusedId(QWidget *window);

// Every control of `window` that takes the focus now (visible, enabled) takes
// it through the assistive tools' focus action, which AT-SPI's grab-focus
// calls, and from the keyboard: the Tab key reaches it, or a radio button of
// its group, from which the arrow keys reach it. Puts the focus back.
void ExpectEveryControlReachable(QWidget *window);

// The texts of the messages `recorder` has recorded, in order.
QStringList Texts(const dialogkit::MessageRecorder &recorder);

} // namespace uitest
