// bench_util.h - helpers shared by the benchmark suites: the tests' clock, message pumping,
// messenger-style popups and filler windows of the driver's own, percentiles, and CPU
// time of Linux processes read from /proc.
#ifndef TOLVIK_E2E_BENCH_UTIL_H
#define TOLVIK_E2E_BENCH_UTIL_H

#include "tests/clock.h"

#include <windows.h>
#include <string>
#include <vector>

void pump();                                   // dispatches the driver's pending messages
void register_classes();
HWND make_popup(const std::string &text);      // dialog-class popup, closes on WM_CLOSE
std::vector<HWND> make_fillers(int n);         // n hidden top-level windows
double percentile(std::vector<double> v, double p);
// CPU milliseconds of this prefix's Linux process whose name starts with `comm`; -1 if unknown.
double linux_cpu_ms(const char *comm);
// Waits, at most timeoutMs, until this prefix's desktop process and Wine server are quiet: the
// desktop works off the windows of a load well after the load has ended, and the next load
// should not pay for that.
void settle_desktop(double timeoutMs = 20000);

#endif
