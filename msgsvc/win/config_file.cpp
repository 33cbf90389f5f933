// config_file.cpp - reading msgsvc.ini, the system's names and the OEM code page.
#include "msgsvc/win/config_file.h"

#include <cstring>

namespace msgsvc {

namespace {

// Reads the file's text into text (left empty when there is no file; a UTF-16 file becomes ANSI); false with
// error set when it exists but cannot be read.
bool read_ini_text(const std::string &path, std::string &text, std::string &error)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
            return true;
        error = "cannot be read (error " + std::to_string(e) + ")";
        return false;
    }
    text.resize(kMaxConfigText + 1);
    DWORD got = 0;
    const BOOL ok = ReadFile(f, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(f);
    if (!ok) {
        error = "cannot be read (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (got > kMaxConfigText) {
        error = "is longer than " + std::to_string(kMaxConfigText) + " bytes";
        return false;
    }
    text.resize(got);
    if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
        const int units = static_cast<int>((text.size() - 2) / 2);
        std::wstring wide(static_cast<std::size_t>(units), L'\0');
        std::memcpy(&wide[0], text.data() + 2, wide.size() * 2);
        const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
        text.assign(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.data(), units, &text[0], n, nullptr, nullptr);
    }
    return true;
}

// A name from the system when msgsvc.ini gives none: NetBIOS names are 15 characters at most.
std::string system_name(BOOL (WINAPI *get)(LPSTR, LPDWORD))
{
    char buf[256] = "";
    DWORD n = sizeof buf;
    if (!get(buf, &n))
        return "";
    return std::string(buf).substr(0, kNameBytes);
}

} // namespace

std::string module_dir(HMODULE module)
{
    char path[MAX_PATH] = "";
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    std::string s(path, n < MAX_PATH ? n : 0);
    const std::size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : s.substr(0, slash + 1);
}

NameCase oem_name_case()
{
    NameCase c;
    for (unsigned b = 0; b < 256; ++b) {
        c.upper[b] = static_cast<uint8_t>(b);
        c.lead[b] = IsDBCSLeadByteEx(CP_OEMCP, static_cast<BYTE>(b)) != 0;
        const char in = static_cast<char>(b);
        wchar_t w = 0;
        if (b == 0 || c.lead[b] || MultiByteToWideChar(CP_OEMCP, 0, &in, 1, &w, 1) != 1)
            continue;
        CharUpperBuffW(&w, 1);
        char out[4];
        BOOL defaulted = FALSE;
        if (WideCharToMultiByte(CP_OEMCP, 0, &w, 1, out, sizeof out, nullptr, &defaulted) == 1 && !defaulted)
            c.upper[b] = static_cast<uint8_t>(out[0]);
    }
    return c;
}

std::string ansi_to_oem(const std::string &s)
{
    std::string out = s;
    if (!out.empty())
        CharToOemBuffA(s.c_str(), &out[0], static_cast<DWORD>(out.size()));
    return out;
}

std::string oem_to_ansi(const std::string &s)
{
    std::string out = s;
    if (!out.empty())
        OemToCharBuffA(s.c_str(), &out[0], static_cast<DWORD>(out.size()));
    return out;
}

LoadedConfig load_config_checked(const std::string &ini_path)
{
    LoadedConfig l;
    ServiceConfig &c = l.cfg;
    c.ini_path = ini_path;
    const std::size_t slash = ini_path.find_last_of("\\/");
    c.dir = slash == std::string::npos ? std::string(".\\") : ini_path.substr(0, slash + 1);
    std::string text, error;
    if (read_ini_text(ini_path, text, error))
        l.errors = parse_config(text, c);
    else
        l.errors.push_back(error);
    if (c.user.empty())
        c.user = system_name(GetUserNameA);
    if (c.computer.empty())
        c.computer = system_name(GetComputerNameA);
    c.user = ansi_to_oem(c.user);
    c.computer = ansi_to_oem(c.computer);
    for (std::string &a : c.aliases)
        a = ansi_to_oem(a);
    return l;
}

ServiceConfig load_config(const std::string &ini_path) { return load_config_checked(ini_path).cfg; }

} // namespace msgsvc
