// tolvik_send.cpp - tolvik-send.exe, the console sender for scripts: sends one text to the names on
// its command line through NetMessageBufferSend, as Tolvik's Send command does (the same names, the
// same message service and its configuration), and prints each name's send log line.
//
//   tolvik-send NAME... [-m TEXT]     exit 0: every name got the text; 1: some did not; 2: usage error
//
// Without -m the text comes from standard input. It touches nothing of a running Tolvik.
#include "base/platform.h"
#include "send/recipients.h"
#include "send/send_texts.h"

#include <windows.h>
#include <lm.h>
#include <shellapi.h>

#include <string>

namespace {

constexpr int kUsageError = 2;
constexpr DWORD kMaxInputBytes = 64 * 1024;    // read from standard input, at most

const char kUsage[] =
    "Usage: tolvik-send NAME... [-m TEXT]      (on Linux: tolvik send NAME... [-m TEXT])\n"
    "\n"
    "Sends TEXT to each NAME (a user or computer name of the network) through the messenger\n"
    "service, as Tolvik's Send command does. Without -m the text is read from standard input;\n"
    "its last line break is dropped. At most 1023 characters are sent; the rest is cut off.\n"
    "\n"
    "Prints one line per name, in the words of Tolvik's send log:\n"
    "  ALICE - Done\n"
    "  BOB - Failed: The user name could not be found.\n"
    "\n"
    "Exit status: 0 when every name got the message, 1 when any did not, 2 on a usage error.";

// Writes text and a line break to standard output (or error): as UTF-16 to a console, as UTF-8
// lines ending in LF to a file or pipe (what the scripts that read them expect).
void put_line(DWORD which, std::wstring text)
{
    HANDLE out = GetStdHandle(which);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        text += L"\r\n";
        WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    text += L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring widen(const std::string &text, UINT codePage = CP_ACP, DWORD flags = 0)
{
    int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string narrow(const std::wstring &text)
{
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &ansi[0], n, nullptr, nullptr);
    return ansi;
}

int usage_error(const wchar_t *what)
{
    put_line(STD_ERROR_HANDLE, std::wstring(L"tolvik-send: ") + what + L" (tolvik-send --help tells more)");
    return kUsageError;
}

// Standard input as text: UTF-8 when it is valid UTF-8, else the ANSI code page; line breaks as
// CR LF (as the message edit has them), without the one that ends the last line.
std::wstring read_input()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (bytes.size() < kMaxInputBytes && ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    if (bytes.size() > kMaxInputBytes)
        bytes.resize(kMaxInputBytes);
    std::wstring text = widen(bytes, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (text.empty() && !bytes.empty())
        text = widen(bytes);
    std::wstring crlf;
    for (wchar_t c : text) {
        if (c == L'\n' && (crlf.empty() || crlf.back() != L'\r'))
            crlf += L'\r';
        crlf += c;
    }
    if (crlf.size() >= 2 && crlf.compare(crlf.size() - 2, 2, L"\r\n") == 0)
        crlf.resize(crlf.size() - 2);
    return crlf;
}

} // namespace

int main()
{
    int argc = 0;
    LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return usage_error(L"cannot read the command line");
    std::wstring names;
    std::wstring text;
    bool haveText = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            put_line(STD_OUTPUT_HANDLE, widen(kUsage));
            return 0;
        }
        if (arg == L"-m") {
            if (haveText)
                return usage_error(L"-m is given twice");
            if (++i == argc)
                return usage_error(L"-m needs the text after it");
            text = argv[i];
            haveText = true;
        } else if (arg.size() > 1 && arg[0] == L'-') {
            return usage_error((L"unknown option " + arg).c_str());
        } else {
            names += arg + L" ";
        }
    }
    LocalFree(argv);

    // The names as the recipient box would hold them: in capitals, split where it splits them.
    std::string line = narrow(names);
    if (!line.empty())
        CharUpperBuffA(&line[0], static_cast<DWORD>(line.size()));
    SplitResult split = split_recipients(line, char_equal_ignore_case);
    if (split.names.empty() && split.rejected.empty())
        return usage_error(L"no name to send to");

    if (!haveText)
        text = read_input();
    if (text.size() > kMaxMessageChars) {
        std::wstring cap = std::to_wstring(kMaxMessageChars);
        put_line(STD_ERROR_HANDLE, L"tolvik-send: the message is longer than " + cap + L" characters; only the first " +
                                       cap + L" are sent");
        text.resize(kMaxMessageChars);
    }

    // Every name gets its line as soon as it is known, in the order the names were given.
    bool allSent = split.rejected.empty();
    auto rejected = split.rejected.begin();
    for (std::size_t order = 0; order < split.names.size() + split.rejected.size(); ++order) {
        if (rejected != split.rejected.end() && rejected->order == order) {
            put_line(STD_OUTPUT_HANDLE,
                     widen(send_refusal_line(rejected->name, rejected->reason == RejectReason::TooLong
                                                                 ? SendRefusal::NameTooLong
                                                                 : SendRefusal::TooManyNames)));
            ++rejected;
            continue;
        }
        const std::string &name = split.names[order - static_cast<std::size_t>(rejected - split.rejected.begin())].name;
        std::wstring recipient = widen(name);
        NET_API_STATUS rc = NetMessageBufferSend(nullptr, recipient.c_str(), nullptr,
                                                 reinterpret_cast<BYTE *>(&text[0]),
                                                 static_cast<DWORD>(text.size() * sizeof(wchar_t)));
        put_line(STD_OUTPUT_HANDLE, widen(send_log_line(name, send_outcome(rc, text.size()))));
        allSent = allSent && rc == NERR_Success;
    }
    return allSent ? 0 : 1;
}
