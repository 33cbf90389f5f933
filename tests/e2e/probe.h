// probe.h - the contract between the test driver and its in-process probe DLL.
#ifndef TOLVIK_E2E_PROBE_H
#define TOLVIK_E2E_PROBE_H

#include <windows.h>
#include <string>
#include <vector>

constexpr char kProbeMessageName[] = "TolvikE2EProbe";
constexpr char kProbeMemoryName[] = "TolvikE2EProbe";
constexpr unsigned kProbeMemorySize = 65536;

enum : unsigned {
    kProbeSystemMenu = 1,  // the target window's system menu
    kProbeTrackedMenu = 2, // the popup menu the target's process is tracking now
    kProbeTools = 3,       // the tools of the process's tooltip control
    kProbeSettle = 4,      // the window-system events the thread has, until none come for a while
    kProbeIdle = 5,        // nothing: only that the op ran
};

// Driver side: runs op in the thread that owns window and returns the probe's lines. The op
// runs when the thread takes a message sent to the window, or with `posted` when its message
// loop takes one posted to it: after everything the thread was doing when it was posted.
std::vector<std::string> probe_run(HWND window, unsigned op, bool posted = false);

#endif
