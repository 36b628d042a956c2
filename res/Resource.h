// SPDX-License-Identifier: GPL-3.0-or-later
// Window and control identifiers, as the windows are drawn.
#pragma once

namespace res {

constexpr int IDR_MAINFRAME = 128; // the application icon

namespace main_window {
constexpr int Dialog = 102;
constexpr int Master = 1000;
constexpr int Sub = 1001;
constexpr int TestSafe = 1002;
constexpr int VersionLine = 1035;
} // namespace main_window

namespace master {
constexpr int Dialog = 129;
constexpr int GenerateKeyCode = 1003;
constexpr int UnlockCode = 1004;
constexpr int LockCode = 1005;
constexpr int LockUntilUnlocked = 1009;
constexpr int LockForTime = 1010;
constexpr int Days = 1011;
constexpr int Minutes = 1012;
constexpr int Hours = 1013;
constexpr int Seconds = 1014;
constexpr int TestButton = 1002;
constexpr int BulkButton = 1019;
constexpr int HideTime = 1031;
} // namespace master

namespace sub {
constexpr int Dialog = 130;
constexpr int ApplyCode = 1006;
constexpr int Code = 1007;
constexpr int UpdateTime = 1019;
constexpr int Status = 1021;
} // namespace sub

namespace test {
constexpr int Dialog = 131;
constexpr int Send = 1;
constexpr int CommandText = 1022;
constexpr int ArduinoFolder = 1024;
constexpr int PortList = 1025;
constexpr int UploadBlink = 1026;
constexpr int UploadCadrelle = 1027;
constexpr int TestLock = 1028;
constexpr int TestUnlock = 1029;
constexpr int ViewUploadLog = 1030;
constexpr int GetVersion = 1031;
} // namespace test

namespace version {
constexpr int Dialog = 132;
constexpr int Done = 1;
constexpr int SoftwareVersion = 1033;
constexpr int FirmwareVersion = 1034;
} // namespace version

namespace upload_progress {
constexpr int Dialog = 133;
constexpr int What = 1040;
constexpr int Progress = 1041;
constexpr int Bar = 1042;
} // namespace upload_progress

} // namespace res
