// SPDX-License-Identifier: GPL-3.0-or-later
// The registry: HKEY_CURRENT_USER\software\Vandrel\<application name>\Setting,
// REG_SZ values. Every read and write opens the key path afresh, creating
// what is missing, and closes every key it opened.
#include "SettingsStore.h"

#include "UserFolders.h"
#include "windows/WideText.h"

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
            !OpenOrCreate(root.get(), windows::Utf16(ApplicationName()), application))
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
    DWORD size = 0;
    if (RegQueryValueExW(section.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Room for the size the registry gave, rounded up to whole characters,
    // and one NUL more: a value stored without its own NUL still ends, and
    // the text ends at its first NUL. The type is not looked at. A value that
    // grew since its size was asked does not fit, and counts as unreadable.
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    DWORD read = size;
    if (RegQueryValueExW(section.get(), valueName.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE *>(text.data()), &read) != ERROR_SUCCESS)
        return std::nullopt;
    return windows::Utf8(std::wstring(text.data()));
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
