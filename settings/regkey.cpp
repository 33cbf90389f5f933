// regkey.cpp - the registry key owner: open, typed reads, writes, close.
#include "settings/regkey.h"

#include "base/textbuf.h"

#include <cstring>
#include <string>

// The one spelling of Tolvik's key.
static std::string full_path(const char *path)
{
    std::string full = "Software\\Morvane\\Tolvik";
    if (path && path[0])
        full.append("\\").append(path);
    return full;
}

LONG RegKey::open(const char *path)
{
    close();
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, full_path(path).c_str(), 0, KEY_QUERY_VALUE, &key_);
    if (rc != ERROR_SUCCESS)
        key_ = nullptr;
    return rc;
}

LONG RegKey::create(const char *path, REGSAM access)
{
    close();
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, full_path(path).c_str(), 0, nullptr, 0, access, nullptr, &key_,
                              nullptr);
    if (rc != ERROR_SUCCESS)
        key_ = nullptr;
    return rc;
}

LONG RegKey::erase_key(const char *path)
{
    return RegDeleteKeyA(HKEY_CURRENT_USER, full_path(path).c_str());
}

void RegKey::close()
{
    if (key_)
        RegCloseKey(key_);
    key_ = nullptr;
}

bool RegKey::dword(const char *name, DWORD &value) const
{
    DWORD type = 0, read = 0, size = sizeof read;
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(&read), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof read)
        return false;
    value = read;
    return true;
}

bool RegKey::text(const char *name, char *text, std::size_t cap) const
{
    DWORD type = 0, size = static_cast<DWORD>(cap);
    return RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(text), &size) == ERROR_SUCCESS &&
           type == REG_SZ && terminate_read_text(text, size, cap);
}

bool RegKey::has(const char *name) const
{
    LONG rc = RegQueryValueExA(key_, name, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

LONG RegKey::value_name(DWORD index, char *name, DWORD nameCap) const
{
    return RegEnumValueA(key_, index, name, &nameCap, nullptr, nullptr, nullptr, nullptr);
}

LONG RegKey::value_text(DWORD index, char *name, DWORD nameCap, char *text, std::size_t cap, bool &isText) const
{
    DWORD type = 0, size = static_cast<DWORD>(cap);
    LONG rc = RegEnumValueA(key_, index, name, &nameCap, nullptr, &type, reinterpret_cast<BYTE *>(text), &size);
    isText = rc == ERROR_SUCCESS && type == REG_SZ && terminate_read_text(text, size, cap);
    return rc;
}

DWORD RegKey::value_count() const
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

LONG RegKey::set_dword(const char *name, DWORD value) const
{
    return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
}

LONG RegKey::set_text(const char *name, const char *text) const
{
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

// The registry counts a zero in when the byte after the counted data is zero, so the text is
// passed from a buffer that does not end there.
LONG RegKey::set_bare_text(const char *name, std::string_view text) const
{
    std::string bare(text);
    bare.push_back('#');
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(bare.data()),
                          static_cast<DWORD>(text.size()));
}

LONG RegKey::erase(const char *name) const
{
    return RegDeleteValueA(key_, name);
}
