// netprovider.cpp - a minimal network provider for Wine prefixes. Wine answers "no network"
// to every network enumeration unless some provider is registered; this one enumerates
// nothing but makes the network layer report that a network is there.
#include <windows.h>
extern "C" {
#include <npapi.h> // declares the entry points without C linkage guards
}

extern "C" {

// Exported undecorated through netprovider.def.

DWORD APIENTRY NPGetCaps(DWORD index)
{
    switch (index) {
    case WNNC_SPEC_VERSION: return WNNC_SPEC_VERSION51;
    case WNNC_NET_TYPE: return WNNC_NET_SMB;
    case WNNC_DRIVER_VERSION: return 1;
    case WNNC_ENUMERATION: return WNNC_ENUM_GLOBAL;
    case WNNC_START: return 1;
    default: return 0;
    }
}

DWORD APIENTRY NPOpenEnum(DWORD, DWORD, DWORD, LPNETRESOURCEW, LPHANDLE handle)
{
    static int token;
    if (!handle)
        return WN_BAD_VALUE;
    *handle = &token;
    return WN_SUCCESS;
}

DWORD APIENTRY NPEnumResource(HANDLE, LPDWORD count, LPVOID, LPDWORD)
{
    if (count)
        *count = 0;
    return WN_NO_MORE_ENTRIES;
}

DWORD APIENTRY NPCloseEnum(HANDLE)
{
    return WN_SUCCESS;
}

}
