#ifndef LAUNCHER_PLATFORM_WINDOWS_ADVAPI32_H_
#define LAUNCHER_PLATFORM_WINDOWS_ADVAPI32_H_

// The ADVAPI32 functions the Windows realisation calls, found at run time
// in the system folder's advapi32.dll (SystemFunction) instead of imported.
// Windows resolves a load-time import, and the forwarders it leads to,
// before main in the ordinary search order, the program's own folder first:
// SystemFunction036 forwards to cryptbase.dll and GetSecurityInfo's API set
// is hosted by ntmarta.dll, neither of them a known DLL, so a DLL of either
// name beside the launcher would run before main. Found at run time, they
// come from the system folder alone (advapi32.cpp).
//
// Each has the signature of its namesake. When the DLL or the function
// cannot be found it fails as the function itself fails: FALSE (no SID, no
// membership, no token), an error code, or the SID given back unfreed.
#include "platform/windows/internal.h"
// These need the types of windows.h first.
#include <aclapi.h>
#include <sddl.h>

namespace windows {
namespace advapi32 {

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3,
                              DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                              PSID* sid);
PVOID FreeSid(PSID sid);
BOOL CheckTokenMembership(HANDLE token, PSID sid, PBOOL member);
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(
    LPCWSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
    PULONG size);
BOOL ConvertStringSidToSidW(LPCWSTR text, PSID* sid);
BOOL EqualSid(PSID first, PSID second);
BOOL IsWellKnownSid(PSID sid, WELL_KNOWN_SID_TYPE type);
BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);
DWORD GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type,
                      SECURITY_INFORMATION wanted, PSID* owner, PSID* group,
                      PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor);
BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor,
                                  PSECURITY_DESCRIPTOR_CONTROL control,
                                  LPDWORD revision);
BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION wanted,
                             PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             LPDWORD needed);
BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner,
                                LPBOOL defaulted);
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                         LPVOID buffer, DWORD size, PDWORD needed);

}  // namespace advapi32
}  // namespace windows

#endif  // LAUNCHER_PLATFORM_WINDOWS_ADVAPI32_H_
