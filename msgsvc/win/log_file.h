// log_file.h - the message service's log, written by the service and the sending DLL alike.
#ifndef TOLVIK_MSGSVC_LOG_FILE_H
#define TOLVIK_MSGSVC_LOG_FILE_H

#include "msgsvc/core/config.h"

namespace msgsvc {

// Appends one time-stamped line to the log file (when configured) and to the debugger output. Control
// characters in the text are escaped (escape_controls), so that one call is one line. A log that would pass
// cfg.log_kb is first renamed to <log>.1, replacing the one before.
void log_line(const ServiceConfig &cfg, const char *fmt, ...);

} // namespace msgsvc

#endif
