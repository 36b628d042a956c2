// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandInRecords.h"

#include "UploadTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sstream>

namespace uploadtest {

std::vector<std::string> SplitWords(const QByteArray& record)
{
    std::vector<std::string> words;
    std::istringstream in(record.toStdString());
    for (std::string word; std::getline(in, word, '\0');)
        words.push_back(word);
    return words;
}

void StandInRecords::SetUpStandIn(const QString& base)
{
    record = base + "/record";
    ASSERT_TRUE(QDir().mkpath(record));
    qputenv("VANDREL_STANDIN_RECORD", QFile::encodeName(record));

    elsewhere = base + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    previousCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere));
}

void StandInRecords::TearDownStandIn()
{
    if (!record.isEmpty()) {
        WriteFile(Record("go"), "");
        // One that was stopped never finishes.
        if (Started())
            (void)QTest::qWaitFor([&] { return QFileInfo::exists(Record("done")) || !ProcessRuns(ReadFile(Record("pid"))); },
                                  int(kProcessWait.count()));
    }
    if (!previousCurrent.isEmpty())
        QDir::setCurrent(previousCurrent);
}

QString StandInRecords::Record(const char* name) const
{
    return record + QLatin1Char('/') + QLatin1String(name);
}

bool StandInRecords::Started() const
{
    return QFileInfo::exists(Record("started"));
}

void StandInRecords::ForgetRecords() const
{
    for (const char* name : {"words", "cwd", "streams", "started", "go", "done", "replay", "rest", "exit", "pid"})
        QFile::remove(Record(name));
}

} // namespace uploadtest
