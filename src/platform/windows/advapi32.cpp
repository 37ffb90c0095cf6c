// The functions the launcher once imported from ADVAPI32, found at run time
// in DLLs loaded from the system folder alone, and the random bytes of the
// kit cache's name (advapi32.h).
#include "platform/windows/advapi32.h"

namespace windows {

namespace {

// Calls advapi32's `name`, whose type is `Function`, with `args`; `failure`
// when it cannot be found.
template <typename Function, typename Result, typename... Args>
Result Call(const char* name, Result failure, Args... args) {
  auto function = SystemFunction<Function>(L"advapi32.dll", name);
  return function != nullptr ? function(args...) : failure;
}

// The random sources, newest first; none is in every header.
using ProcessPrngFunction = BOOL(WINAPI*)(PBYTE, SIZE_T);
using BCryptGenRandomFunction = LONG(WINAPI*)(PVOID, PUCHAR, ULONG, ULONG);
using RtlGenRandomFunction = BOOLEAN(WINAPI*)(PVOID, ULONG);
constexpr ULONG kUseSystemPreferredRng = 0x00000002;  // BCRYPT_USE_SYSTEM_...

}  // namespace

namespace advapi32 {

BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3,
                              DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                              PSID* sid) {
  return Call<decltype(&::AllocateAndInitializeSid)>(
      "AllocateAndInitializeSid", FALSE, authority, count, sub0, sub1, sub2,
      sub3, sub4, sub5, sub6, sub7, sid);
}

PVOID FreeSid(PSID sid) {
  return Call<decltype(&::FreeSid)>("FreeSid", static_cast<PVOID>(sid), sid);
}

BOOL CheckTokenMembership(HANDLE token, PSID sid, PBOOL member) {
  return Call<decltype(&::CheckTokenMembership)>("CheckTokenMembership", FALSE,
                                                 token, sid, member);
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(
    LPCWSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
    PULONG size) {
  return Call<
      decltype(&::ConvertStringSecurityDescriptorToSecurityDescriptorW)>(
      "ConvertStringSecurityDescriptorToSecurityDescriptorW", FALSE, text,
      revision, descriptor, size);
}

BOOL ConvertStringSidToSidW(LPCWSTR text, PSID* sid) {
  return Call<decltype(&::ConvertStringSidToSidW)>("ConvertStringSidToSidW",
                                                   FALSE, text, sid);
}

BOOL EqualSid(PSID first, PSID second) {
  return Call<decltype(&::EqualSid)>("EqualSid", FALSE, first, second);
}

BOOL IsWellKnownSid(PSID sid, WELL_KNOWN_SID_TYPE type) {
  return Call<decltype(&::IsWellKnownSid)>("IsWellKnownSid", FALSE, sid, type);
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
  return Call<decltype(&::GetAce)>("GetAce", FALSE, acl, index, ace);
}

DWORD GetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type,
                      SECURITY_INFORMATION wanted, PSID* owner, PSID* group,
                      PACL* dacl, PACL* sacl,
                      PSECURITY_DESCRIPTOR* descriptor) {
  return Call<decltype(&::GetSecurityInfo)>(
      "GetSecurityInfo", static_cast<DWORD>(ERROR_PROC_NOT_FOUND), object, type,
      wanted, owner, group, dacl, sacl, descriptor);
}

BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor,
                                  PSECURITY_DESCRIPTOR_CONTROL control,
                                  LPDWORD revision) {
  return Call<decltype(&::GetSecurityDescriptorControl)>(
      "GetSecurityDescriptorControl", FALSE, descriptor, control, revision);
}

BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION wanted,
                             PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             LPDWORD needed) {
  return Call<decltype(&::GetKernelObjectSecurity)>("GetKernelObjectSecurity",
                                                    FALSE, object, wanted,
                                                    descriptor, size, needed);
}

BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner,
                                LPBOOL defaulted) {
  return Call<decltype(&::GetSecurityDescriptorOwner)>(
      "GetSecurityDescriptorOwner", FALSE, descriptor, owner, defaulted);
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  return Call<decltype(&::OpenProcessToken)>("OpenProcessToken", FALSE, process,
                                             access, token);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                         LPVOID buffer, DWORD size, PDWORD needed) {
  return Call<decltype(&::GetTokenInformation)>(
      "GetTokenInformation", FALSE, token, kind, buffer, size, needed);
}

}  // namespace advapi32

// The system's generator: ProcessPrng (Windows 10 on), else BCryptGenRandom
// with the system's preferred generator (Vista on), else RtlGenRandom
// (SystemFunction036, which forwards to cryptbase.dll), each from a DLL of
// the system folder; the next when one is missing or fails. No bytes when
// none can be had.
bool GenerateRandom(void* buffer, std::uint32_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  auto prng = SystemFunction<ProcessPrngFunction>(L"bcryptprimitives.dll",
                                                  "ProcessPrng");
  if (prng != nullptr && prng(bytes, size) != FALSE) return true;
  auto generate =
      SystemFunction<BCryptGenRandomFunction>(L"bcrypt.dll", "BCryptGenRandom");
  if (generate != nullptr &&
      generate(nullptr, bytes, size, kUseSystemPreferredRng) >= 0) {
    return true;
  }
  auto last_resort = SystemFunction<RtlGenRandomFunction>(L"advapi32.dll",
                                                          "SystemFunction036");
  return last_resort != nullptr && last_resort(bytes, size) != FALSE;
}

}  // namespace windows
