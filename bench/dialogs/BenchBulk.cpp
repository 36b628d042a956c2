// SPDX-License-Identifier: GPL-3.0-or-later
// How long one "BULK" run of the Master window takes (1000 pairs made,
// shown and checked), with message boxes recorded rather than shown.
#include "MasterDlg.h"
#include "MessageBox.h"
#include "Resource.h"
#include "UiTest.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    std::vector<double> millis;
    QStringList lastMessages;
    for (int run = 0; run < runs; ++run) {
        MasterDlg dialog;
        dialogkit::MessageRecorder messages;
        uitest::OnNextModal([&](QWidget *w) {
            uitest::Control(w, res::master::BulkButton)->setVisible(true);
            QElapsedTimer timer;
            timer.start();
            uitest::Click(w, res::master::BulkButton);
            millis.push_back(double(timer.nsecsElapsed()) / 1e6);
            w->close();
        });
        dialog.DoModal();
        lastMessages = uitest::Texts(messages);
    }
    std::sort(millis.begin(), millis.end());
    std::printf("BULK run (1000 passes, messages recorded): median %.1f ms, best %.1f ms, "
                "worst %.1f ms over %d runs\n",
                millis[millis.size() / 2], millis.front(), millis.back(), runs);
    std::printf("last message: %s\n", qPrintable(lastMessages.value(lastMessages.size() - 1)));
    return lastMessages == QStringList{"All good out of 1000"} ? 0 : 1;
}
