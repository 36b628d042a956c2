// SPDX-License-Identifier: GPL-3.0-or-later
// The registry: HKEY_CURRENT_USER\software\Vandrel\<application name>\Setting,
// REG_SZ values. Every read and write opens the key path afresh, creating
// what is missing, and closes every key it opened.
#include "SettingsStore.h"

#include "base/Program.h"
#include "base/win/WideText.h"

#include <windows.h>

#include <vector>

namespace settings::store {

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

// Closes the key it holds, on every path.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;

    HKEY get() const { return key_; }
    HKEY *out() { return &key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

bool OpenOrCreate(HKEY parent, const std::wstring &name, Key &key)
{
    return RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                           key.out(), nullptr) == ERROR_SUCCESS;
}

// "software", then the root "Vandrel", the application's key and "Setting",
// each created when missing. False when any of them cannot be opened.
bool OpenSection(Key &section)
{
    Key application;
    {
        Key software, root;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"software", 0, kAccess, software.out()) != ERROR_SUCCESS ||
            !OpenOrCreate(software.get(), L"Vandrel", root) ||
            !OpenOrCreate(root.get(), windows::Utf16(program::Name()), application))
            return false;
    }
    return OpenOrCreate(application.get(), L"Setting", section);
}

} // namespace

std::optional<std::string> Read(const std::string &name)
{
    Key section;
    if (!OpenSection(section))
        return std::nullopt;
    const std::wstring valueName = windows::Utf16(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(section.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Room for the size the registry gave and a NUL of each width more: a
    // value stored without its own NUL still ends. A value that grew since
    // its size was asked does not fit, and counts as unreadable.
    std::vector<char> bytes(size + 2 * sizeof(wchar_t), '\0');
    DWORD read = size;
    if (RegQueryValueExW(section.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(bytes.data()),
                         &read) != ERROR_SUCCESS)
        return std::nullopt;
    // The value is text up to its first NUL, whatever its type: a REG_DWORD
    // 0x00434241 reads "ABC". The registry holds the string types as UTF-16
    // (an ANSI read converts them), so their characters come whole; the bytes
    // of any other type are text in the ANSI code page.
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
        return windows::Utf8(std::wstring(reinterpret_cast<const wchar_t *>(bytes.data())));
    const std::string ansi(bytes.data());
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(std::size_t(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(),
                                                int(wide.size()))));
    return windows::Utf8(wide);
}

bool Write(const std::string &name, const std::string &text)
{
    Key section;
    if (!OpenSection(section))
        return false;
    const std::wstring value = windows::Utf16(text);
    // The text and its terminating NUL.
    const DWORD bytes = DWORD((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(section.get(), windows::Utf16(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE *>(value.c_str()), bytes) == ERROR_SUCCESS;
}

} // namespace settings::store
