// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The stand-in uploader (StandInUploader.cpp) around one test: the folder
// where it records what it was given, and the program's current folder moved
// away from the working folder, as it usually is. Shared by the launcher tests
// and the Test window's upload tests; VANDREL_STANDIN is the stand-in's path.
//
//     class MyTest : public ::testing::Test, public uploadtest::StandInRecords {
//         void SetUp() override { ASSERT_NO_FATAL_FAILURE(SetUpStandIn(temp.path())); }
//         void TearDown() override { TearDownStandIn(); }
//     };

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace uploadtest {

// The words the stand-in was given, from its "words" record.
std::vector<std::string> SplitWords(const QByteArray& record);

class StandInRecords {
public:
    // Makes `<base>/record`, where the stand-in records what it was given,
    // and `<base>/elsewhere`, and makes the latter the program's current
    // folder (so a firmware file there is not where the uploader looks).
    // Asserts; call it with ASSERT_NO_FATAL_FAILURE.
    void SetUpStandIn(const QString& base);

    // Lets a stand-in that still waits finish before its folders go, and
    // puts the program's current folder back.
    void TearDownStandIn();

    // A record of the stand-in: "words", "cwd", "streams", "started", "done".
    QString Record(const char* name) const;
    bool Started() const;
    // Forgets the records of an earlier run, for another one in the same test.
    void ForgetRecords() const;

    QString record, elsewhere, previousCurrent;
};

} // namespace uploadtest
