#ifndef LAUNCHER_PLATFORM_PLATFORM_SERVICES_H_
#define LAUNCHER_PLATFORM_PLATFORM_SERVICES_H_

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

// Every operating-system operation the launcher performs goes through this
// interface, which every build uses; the report build's own operations are
// in report_services.h, the signed kit's in signature_services.h. On
// Windows each member is the ANSI call it is named after, with the
// arguments the launcher always passes fixed inside the realisation
// (platform/windows/); the simulated realisation (platform/simulated/)
// stands in wherever Windows is absent.
//
// Names the system gives out are exact. The ANSI calls render a Unicode name
// in the ANSI code page by best fit: full-width dots and reverse solidus
// become "." and "\", full-width letters plain ones, a character with no fit
// "?". Such a rendering names another file, or a place outside the folder it
// was listed in. So the members that give out names (GetModuleFileNameA and
// the search) give a name only when its ANSI text turns back into exactly the
// same Unicode name, which is what every ANSI call taking a path does first.
// The 8.3 short name, where the volume keeps one, is held to the same test.
// Paths the launcher passes in are composed from such names and fixed ASCII
// text, so they name exactly what they were made from.
//
// This header must not include <windows.h>: it defines macros such as
// FindNextFile and CopyFile that would rename members between files.

// Opaque handle to a process, thread or search, as the platform issued it.
using Handle = std::uintptr_t;

// Attribute bits of files and folders, with the platform's values.
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeSystem = 0x04;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// The platform's path limit for ANSI calls: MAX_PATH, terminator included.
constexpr std::size_t kMaxPath = 260;

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// One entry of a folder listing: its own names (no folder part) and its
// attribute bits. Each name is given only when the ANSI code page carries it
// exactly (see PlatformServices), else it is empty; an entry may have no name
// the launcher can use.
struct FolderEntry {
  std::string name;        // the long name
  std::string short_name;  // the 8.3 alias, empty when there is none
  std::uint32_t attributes = 0;
};

struct ProcessInformation {
  Handle process = 0;
  Handle thread = 0;
};

// Bytes of the ANSI code page that start a two-byte character.
using LeadBytes = std::bitset<256>;

// What CreateMutexA made of a name: a new mutex, one that already existed
// (ERROR_ALREADY_EXISTS), one that exists but refuses this process
// (ERROR_ACCESS_DENIED, as when another user made it), or any other failure.
enum class MutexResult { Created, AlreadyExists, AccessDenied, Failed };

// What CreatePrivateNamespaceW made of a boundary: a new namespace, one that
// already exists (ERROR_ALREADY_EXISTS, to be opened instead), or any other
// failure, including a token that lacks a SID of the boundary.
enum class NamespaceResult { Created, AlreadyExists, Failed };

// What GetFileAttributesA tells of a path: something is there; the name is
// not in its folder, which is there (ERROR_FILE_NOT_FOUND); a folder on the
// way is not there (ERROR_PATH_NOT_FOUND); or no answer (any other failure:
// access denied, a network path gone, a device not ready).
enum class Presence { There, NotThere, NoFolder, Unknown };

// What CreateDirectoryA made of a path: a new folder, a name already taken
// by anything (ERROR_ALREADY_EXISTS: a folder, a file or a link), or any
// other failure.
enum class FolderResult { Created, AlreadyExists, Failed };

// What GetFileInformationByHandle tells of an open file or folder: its
// attribute bits and when it was made (a FILETIME: 100 ns units since 1601,
// UTC).
struct HandleInformation {
  std::uint32_t attributes = 0;
  std::uint64_t created = 0;
};

// What OpenFileShared made of a path: an open handle, a file that another
// process holds so that it cannot be read now (a sharing or lock
// violation: worth asking again), or any other failure.
enum class OpenResult { Opened, InUse, Failed };

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // ---- This process

  // Takes the current folder out of the search for DLLs this process loads
  // (SetDllDirectoryW with an empty name) and, where the system can
  // (SetDefaultDllDirectories: Windows 8 on, and 7 with its update), keeps
  // every later load to the system folder. Both calls are looked up at run
  // time and skipped where absent; nothing is reported. The launcher calls
  // this first, before any other member.
  virtual void SetDefaultDllDirectories() = 0;

  // Whether this Windows keeps a DLL loaded at run time, and every DLL it
  // loads in turn, to the system folder (kernel32's AddDllDirectory:
  // Windows 8 on, and 7 and Vista with their update for it). Where it does
  // not, nothing outside KERNEL32 is looked up, and the members that need
  // it fail: CheckTokenMembership, GenerateRandom, CreateDirectoryA, the
  // owner and DACL checks and the signature check.
  virtual bool LookupsConfined() = 0;

  // Queries. Both write a zero-terminated string into `buffer` of `size`
  // bytes and return its length; GetModuleFileNameA returns `size` when the
  // name was cut short, 0 on failure.
  virtual std::uint32_t GetSystemDirectoryA(char* buffer,
                                            std::uint32_t size) = 0;
  // The launcher's own file, named exactly: its full path when the code page
  // carries it exactly, else its short (8.3) path when that is exact, else
  // nothing (0).
  virtual std::uint32_t GetModuleFileNameA(char* buffer,
                                           std::uint32_t size) = 0;
  // The process's command line as the platform holds it.
  virtual std::string GetCommandLineA() = 0;
  // Lead bytes of the system's ANSI code page (GetCPInfo).
  virtual LeadBytes GetCPInfo() = 0;

  // What the shell's path library does, done without loading it.
  // PathRemoveFileSpecA removes the last part of `path` and the backslash
  // before it, in place; a root keeps its backslash ("E:\x" gives "E:\");
  // the trail byte of a double-byte character is never a separator. False
  // when nothing was removed.
  virtual bool PathRemoveFileSpecA(char* path) = 0;
  // True when a file or folder exists at `path`; an empty removable drive
  // gives false, without the system's "no disk" dialog.
  virtual bool PathFileExistsA(const char* path) = 0;

  // ---- Files and folders

  virtual std::uint32_t GetFileAttributesA(const char* path) = 0;
  // GetFileAttributesA, and when it fails, why (Presence).
  virtual Presence GetFilePresence(const char* path) = 0;
  virtual bool SetFileAttributesA(const char* path,
                                  std::uint32_t attributes) = 0;
  virtual bool CopyFileA(const char* existing, const char* target,
                         bool fail_if_exists) = 0;
  virtual bool DeleteFileA(const char* path) = 0;
  virtual bool RemoveDirectoryA(const char* path) = 0;
  // The size of the file at `path` (GetFileAttributesExA); false when the
  // path names nothing.
  virtual bool GetFileAttributesExA(const char* path, std::uint64_t* size) = 0;

  // Opens the existing file `path` for reading (with `folder`, the existing
  // folder, through backup semantics), shared for reading only (a folder
  // also for writing, so that entries can still be made in it). A link at
  // the end of the path is not followed: the handle holds the link itself
  // (links before it are followed). While the handle is open no process,
  // this one included, can write, replace, rename or delete what it names;
  // starting a held file as a program and copying from it still work. The
  // target of a held link can still be changed. False when the path names
  // nothing of that kind or another process's open is in the way.
  // CloseHandle releases it.
  virtual bool CreateFileA(const char* path, bool folder, Handle* file) = 0;
  // What the open `file` (a file or a folder, a link itself when opened as
  // one) is and when it was made.
  virtual bool GetFileInformationByHandle(Handle file,
                                          HandleInformation* info) = 0;
  // Reads up to `size` bytes at the handle's position into `buffer` and
  // moves on; `*read` is 0 at the end of the file.
  virtual bool ReadFile(Handle file, void* buffer, std::uint32_t size,
                        std::uint32_t* read) = 0;

  // ---- Search

  // Search primitives under CFileFind. FindFirstFileA fills `entry` with the
  // first match and `search` with the handle to pass on; it returns false
  // (and opens nothing) when nothing matches or the search cannot start.
  // Entries are listed whatever their names; a name the code page cannot
  // carry exactly is left empty in the entry.
  virtual bool FindFirstFileA(const char* pattern, Handle* search,
                              FolderEntry* entry) = 0;
  virtual bool FindNextFileA(Handle search, FolderEntry* entry) = 0;
  virtual bool FindClose(Handle search) = 0;

  // ---- Child processes

  // Starts `application` (a full path, never searched for) with the writable
  // `command_line`: no inherited handles, creation flags 0, the launcher's
  // environment, a start-up record zero but for its size. A null
  // `application` leaves the platform to take the program from the head of
  // the command line. The child starts in `current_directory`, or in the
  // launcher's own current folder when that is null; a program looks there
  // for the DLLs it loads by bare name.
  virtual bool CreateProcessA(const char* application, char* command_line,
                              const char* current_directory,
                              ProcessInformation* info) = 0;
  virtual std::uint32_t WaitForSingleObject(Handle handle,
                                            std::uint32_t milliseconds) = 0;
  // CreateProcessA with the process's first thread suspended: nothing of it
  // runs until ResumeThread, so the launcher can finish what must come
  // first (the old version's removal, the job) once the start has worked.
  virtual bool CreateProcessSuspendedA(const char* application,
                                       char* command_line,
                                       const char* current_directory,
                                       ProcessInformation* info) = 0;
  virtual bool ResumeThread(Handle thread) = 0;
  // Ends the process at once with `exit_code`; the end comes a moment later
  // (WaitForSingleObject sees it).
  virtual bool TerminateProcess(Handle process, std::uint32_t exit_code) = 0;
  virtual bool CloseHandle(Handle handle) = 0;

  // ---- Named objects and the token

  // Creates the mutex `name`, or opens it when it exists: default security
  // (not inherited), not owned. `mutex` receives the handle when the result
  // is Created or AlreadyExists, and is left alone otherwise.
  // A name "<alias>\<name>" makes the mutex inside the private namespace
  // this process opened under that alias.
  virtual MutexResult CreateMutexA(const char* name, Handle* mutex) = 0;

  // Whether the owner of the open kernel object `object` (a mutex) is
  // Administrators or SYSTEM (GetKernelObjectSecurity, which loads nothing
  // outside the known DLLs): only an elevated process or SYSTEM makes such
  // an object.
  virtual bool GetKernelObjectSecurity(Handle object,
                                       bool* administrators_own) = 0;
  // The kernel's name of the open object (NtQueryObject), which tells the
  // object a name was made for from one reached through an object
  // manager link that anybody may make in its place
  // ("\BaseNamedObjects\<name>" for a mutex made as "Global\<name>").
  virtual bool QueryObjectName(Handle object, std::string* name) = 0;

  // Whether this process's token has the Administrators group enabled
  // (CheckTokenMembership): true when elevated or SYSTEM, false for a
  // standard user and for an administrator whose rights are filtered.
  virtual bool CheckTokenMembership() = 0;

  // Private namespaces, steps that must follow each other: a later one is
  // never called once an earlier one failed. The calls are looked up at run
  // time; where they are absent (Windows XP) or refuse (Wine),
  // CreateBoundaryDescriptorW fails.
  virtual bool CreateBoundaryDescriptorW(const char* name,
                                         Handle* boundary) = 0;
  // Adds the Administrators SID (S-1-5-32-544) to the boundary; it may move
  // the descriptor, and updates `boundary` then.
  virtual bool AddSIDToBoundaryDescriptor(Handle* boundary) = 0;
  // Creates the namespace of `boundary` under `alias`, with a security
  // descriptor that grants SYSTEM and Administrators alone; `ns` receives
  // its handle when Created. Only a token that holds every SID of the
  // boundary can create it.
  virtual NamespaceResult CreatePrivateNamespaceW(Handle boundary,
                                                  const char* alias,
                                                  Handle* ns) = 0;
  // Opens the existing namespace of `boundary` under `alias`: false when
  // there is none or its security refuses this process.
  virtual bool OpenPrivateNamespaceW(Handle boundary, const char* alias,
                                     Handle* ns) = 0;
  virtual void DeleteBoundaryDescriptor(Handle boundary) = 0;

  // ---- Secured folders: a fresh folder that only administrators can
  // write, for the kit cache and the report build's log folder

  // The shared Windows folder (GetSystemWindowsDirectoryA: "C:\Windows",
  // also for a process of a terminal session), as GetSystemDirectoryA gives
  // the system folder.
  virtual std::uint32_t GetSystemWindowsDirectoryA(char* buffer,
                                                   std::uint32_t size) = 0;
  // Fills `buffer` with `size` bytes of the system's cryptographic random
  // generator (RtlGenRandom).
  virtual bool GenerateRandom(void* buffer, std::uint32_t size) = 0;
  // Creates the new folder `path`, owned by Administrators, with a
  // protected DACL (nothing inherited from its parent) that grants full
  // access to SYSTEM and Administrators alone, passed on to all it holds.
  virtual FolderResult CreateDirectoryA(const char* path) = 0;
  // Opens the existing folder `path` itself, a link not followed, shared
  // for reading and writing but not deletion: while the handle is open
  // nobody can rename or remove it. False when `path` is a link or no
  // folder. CloseHandle releases it.
  virtual bool OpenFolderA(const char* path, Handle* folder) = 0;
  // Whether the owner of the open `object` is Administrators or SYSTEM
  // (GetSecurityInfo): no unelevated process can make such an object.
  virtual bool GetSecurityInfo(Handle object, bool* administrators_own) = 0;
  // Whether the DACL of the open `object` is protected (it takes nothing
  // from its parent) and lets no account but SYSTEM and Administrators
  // write, append, make entries, delete, change the DACL or take ownership
  // (GetSecurityInfo): the DACL that CreateDirectoryA gives. False in
  // `*administrators_only` for a missing DACL, which lets everyone in.
  virtual bool GetProtectedDacl(Handle object, bool* administrators_only) = 0;
  // Opens the existing file `path` for reading, sharing reading, writing
  // and deletion with everyone: only a process that shares nothing (or
  // locks the file) stands in the way. Nothing is held; ReadFile reads it.
  virtual OpenResult OpenFileShared(const char* path, Handle* file) = 0;
  // Creates the new file `path` for writing, shared for reading only; false
  // when anything (a file, a folder, a link) is there already. It takes
  // the security its folder passes on.
  virtual bool CreateNewFileA(const char* path, Handle* file) = 0;
  // Writes all `size` bytes at the handle's position and moves on (at the
  // end, through a handle of OpenAppendFileA).
  virtual bool WriteFile(Handle file, const void* buffer,
                         std::uint32_t size) = 0;
  // Schedules the deletion of the file or empty folder `path` at the next
  // restart, after those scheduled before it (MoveFileExA, no target,
  // MOVEFILE_DELAY_UNTIL_REBOOT); administrators only.
  virtual bool MoveFileExA(const char* path) = 0;

  // ---- The clock

  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // The clock, to tell what was made before Windows last started: the
  // system time (GetSystemTimeAsFileTime, a FILETIME), and the milliseconds
  // since the start (GetTickCount64, looked up at run time: false where it
  // is absent, as on Windows XP).
  virtual std::uint64_t GetSystemTimeAsFileTime() = 0;
  virtual bool GetTickCount64(std::uint64_t* milliseconds) = 0;

  // ---- The end

  // Ends the process at once with `code`. The simulated realisation records
  // the exit and returns, so callers must not do anything after calling it.
  virtual void exit(int code) = 0;
};

// The realisation over the real Win32 API; only built for Windows.
std::unique_ptr<PlatformServices> CreateWindowsPlatform();

#endif  // LAUNCHER_PLATFORM_PLATFORM_SERVICES_H_
