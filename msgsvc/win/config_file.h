// config_file.h - the message service's configuration as the service and the sending DLL read it (msgsvc.ini
// beside the program or DLL, with the system's names for what it leaves out), and the code page conversions of
// the names in it.
#ifndef TOLVIK_MSGSVC_CONFIG_FILE_H
#define TOLVIK_MSGSVC_CONFIG_FILE_H

#include "msgsvc/win/win32.h"

#include "msgsvc/core/config.h"

#include <string>
#include <vector>

namespace msgsvc {

// Reads ini_path (see parse_config); a missing file keeps every default. The user and computer names default
// to GetUserNameA and GetComputerNameA (cut to 15 characters, as NetBIOS names are); all names are converted
// to the OEM code page. What does not parse or fit is listed in `errors`, the rest is read.
struct LoadedConfig {
    ServiceConfig cfg;
    std::vector<std::string> errors;  // each "line N: ..." or a reading failure; the service does not start
};
LoadedConfig load_config_checked(const std::string &ini_path);
// The same, for readers that go on with the defaults of what does not parse (the sending DLL).
ServiceConfig load_config(const std::string &ini_path);

// Directory of a module (nullptr: the program), with a trailing backslash.
std::string module_dir(HMODULE module);

// How the system's OEM code page upper-cases names (see NameCase): each one-byte character upper-cased in
// Unicode and converted back, where the code page holds the result.
NameCase oem_name_case();

// ANSI (system code page) to OEM and back, byte strings of the same length.
std::string ansi_to_oem(const std::string &s);
std::string oem_to_ansi(const std::string &s);

} // namespace msgsvc

#endif
