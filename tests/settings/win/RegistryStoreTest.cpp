// SPDX-License-Identifier: GPL-3.0-or-later
// The settings in the registry, under Wine: the key path and the values as
// Windows programs (and the copies of this one) find them, and the reading
// rules for values that this program did not write.

#include "Settings.h"
#include "base/Program.h"
#include "base/win/WideText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// This program's own key: the application's name is the executable's.
const std::wstring kApplicationKey = L"Software\\Vandrel\\settings_registry_tests";
const std::wstring kSectionKey = kApplicationKey + L"\\Setting";

// How many values the key holds; -1 where there is no such key.
DWORD ValueCount(const std::wstring &path)
{
    HKEY key = nullptr;
    DWORD values = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return DWORD(-1);
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    return values;
}

// The value as stored: its type and bytes.
struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// Short values only: this test's own texts.
Stored ReadStored(const wchar_t *name)
{
    Stored stored;
    stored.bytes.resize(1024);
    DWORD size = DWORD(stored.bytes.size());
    if (RegGetValueW(HKEY_CURRENT_USER, kSectionKey.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &stored.type,
                     stored.bytes.data(), &size) != ERROR_SUCCESS)
        return {};
    stored.bytes.resize(size);
    return stored;
}

std::vector<BYTE> Bytes(const std::wstring &text)
{
    const BYTE *begin = reinterpret_cast<const BYTE *>(text.data());
    return std::vector<BYTE>(begin, begin + text.size() * sizeof(wchar_t));
}

// Stores raw bytes as another program might have left them.
void StoreRaw(const wchar_t *name, DWORD type, const std::vector<BYTE> &bytes)
{
    EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSectionKey.c_str(), name, type, bytes.data(), DWORD(bytes.size())),
              ERROR_SUCCESS);
}

class RegistryStore : public ::testing::Test {
protected:
    // A fresh account, as far as this program is concerned.
    void SetUp() override
    {
        const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kApplicationKey.c_str());
        ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kApplicationKey.c_str()); }
};

TEST_F(RegistryStore, FreshAccountGetsTheKeysAndTheDefaults)
{
    EXPECT_EQ(program::Name(), "settings_registry_tests");
    EXPECT_EQ(settings::GetSerialPort(), "COM4");
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH), 0u);
    EXPECT_EQ(settings::WorkDir(), windows::Utf8(localAppData) + "\\Vandrel");
    // The default Arduino folder, beside the installed program, is the
    // whole-product test's (tests/product).
    EXPECT_EQ(ValueCount(kSectionKey), 0u) << "reading creates the key path down to Setting, and no value";
}

// What is written is a REG_SZ of the text and its NUL, read back exactly;
// an empty text is a value, not the default.
TEST_F(RegistryStore, TextsGoInAsRegSzAndComeBackExactly)
{
    const std::string texts[] = {"COM7", "", " COM7 ", "C:\\Program Files\\arduino-0012\\",
                                 "D:\\Jürgen\\Ардуино\\端口"};
    for (const std::string &text : texts) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(settings::SetSerialPort(text));
        ASSERT_TRUE(settings::SetArduinoPath(text + "x"));
        EXPECT_EQ(settings::GetSerialPort(), text);
        EXPECT_EQ(settings::GetArduinoPath(), text + "x");
        const Stored stored = ReadStored(L"SerialPort");
        EXPECT_EQ(stored.type, DWORD(REG_SZ));
        EXPECT_EQ(stored.bytes, Bytes(windows::Utf16(text) + L'\0'));
    }
}

// Values another program left: the text ends at the first NUL, a value
// without its NUL still ends where its bytes end, a long one comes whole,
// and a value of another type is its bytes as text.
TEST_F(RegistryStore, ValuesAreReadUpToTheirFirstNulWhateverTheirLength)
{
    const std::wstring longText(40000, L'x');
    struct Case {
        const char *what;
        DWORD type;
        std::vector<BYTE> bytes;
        std::string port;
    };
    const Case cases[] = {
        {"a NUL inside", REG_SZ, Bytes(std::wstring(L"COM7\0junk\0", 10)), "COM7"},
        {"no NUL at the end", REG_SZ, Bytes(L"COM12"), "COM12"},
        {"an odd number of bytes", REG_SZ, {'C', 0, 'O', 0, 'M', 0, '3', 0, 'x'}, "COM3x"},
        {"40000 characters", REG_SZ, Bytes(longText + L'\0'), std::string(40000, 'x')},
        {"another type: its bytes", REG_DWORD, {'A', 'B', 'C', 0}, "ABC"},
        {"another type without a NUL", REG_BINARY, {'C', 'O', 'M', '5'}, "COM5"},
        {"no bytes at all", REG_SZ, {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        StoreRaw(L"SerialPort", c.type, c.bytes);
        EXPECT_EQ(settings::GetSerialPort(), c.port);
    }
}

// The application's key made volatile: "Setting" cannot be made below it as
// a lasting key. Reads give the defaults and writes fail, with nothing kept.
TEST_F(RegistryStore, KeyThatCannotBeOpenedGivesDefaultsAndFailedWrites)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kApplicationKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_FALSE(settings::SetSerialPort("COM7"));
    EXPECT_FALSE(settings::SetArduinoPath("C:\\arduino"));
    EXPECT_EQ(settings::GetSerialPort(), "COM4");
    EXPECT_EQ(settings::GetArduinoPath(), settings::DefaultArduinoPath());
    EXPECT_EQ(ValueCount(kSectionKey), DWORD(-1)) << "no key Setting";
}

} // namespace
