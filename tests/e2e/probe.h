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
};

// Driver side: runs op in the process that owns window; returns the probe's lines.
std::vector<std::string> probe_run(HWND window, unsigned op);

#endif
