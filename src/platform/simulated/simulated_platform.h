#ifndef LAUNCHER_PLATFORM_SIMULATED_SIMULATED_PLATFORM_H_
#define LAUNCHER_PLATFORM_SIMULATED_SIMULATED_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform_services.h"
#include "platform/report_services.h"
#include "platform/signature_services.h"
#include "platform/simulated/calls.h"
#include "platform/simulated/held.h"
#include "platform/simulated/process_table.h"
#include "platform/simulated/settings.h"
#include "platform/simulated/tree.h"

// A small Windows held as data, for running the launcher's logic where
// Windows is absent. It keeps what the launcher can observe of the real
// platform:
//   - paths are case-insensitive; "/" and doubled "\" read as one "\";
//     relative paths are taken against the current folder;
//   - ANSI calls refuse paths of MAX_PATH (260) characters or more, though
//     the tree may hold longer ones (made by other means);
//   - folders list "." and ".." first (drive roots do not), then their
//     entries in case-insensitive name order;
//   - read-only and in-use files refuse deletion; read-only, in-use and
//     non-empty folders refuse removal;
//   - links (reparse points) are followed inside a path; as the last part of
//     a path they are the link itself, which DeleteFileA (file links) or
//     RemoveDirectoryA (folder links) removes without touching the target,
//     and which CreateFileA holds; a held link can still be re-pointed;
//   - named mutexes exist while any process holds a handle to one (another
//     process's until it lets go of it); their names are case-sensitive; a
//     mutex another user made refuses access;
//   - the token has the Administrators group enabled or not; a private
//     namespace is known by its boundary (a name and the Administrators
//     SID), only a token that holds every SID of the boundary creates it,
//     and its security admits Administrators alone; "<alias>\<name>" names
//     a mutex in the namespace this process opened under that alias;
//   - a file opened with CreateFileA is shared for reading only: while the
//     handle is open nobody can write, replace, rename or delete it, a
//     folder held so cannot be renamed or removed, and reading, copying
//     from it and starting it as a program still work; an in-use node
//     refuses that open, as a file another process has open for writing;
//   - names are Unicode, held as UTF-8 (a byte that starts no UTF-8
//     character stands for itself, an ANSI byte); the ANSI code page carries
//     ASCII exactly and renders the rest by best fit: full-width "." "\" and
//     letters as plain ones, "Ω" as "O", anything else as "?";
//   - a name given out (module file name, search entries) is exact or none:
//     the long name when its rendering is the name itself, else the short
//     (8.3) name a node may have been given, else nothing; a short name is
//     accepted for its part of a path, and "*.*"-like masks match either;
//   - CreateProcessA with no application name resolves the program from the
//     head of the command line: a quoted head, else each head up to a space,
//     shortest first, with ".exe" added when it has no extension; a bare name
//     is looked for beside the module, in the current folder, the system
//     folder, the Windows folder and along the search path; a child starts
//     in the folder it is given (which must exist) or in this process's
//     current folder;
//   - a query of a path that names nothing tells whether its folder is
//     there (GetFilePresence: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND,
//     which a drive the session lacks gives too);
//   - drive letters belong to the logon session: on a drive the session
//     lacks (`absent_drives`: an elevated process does not see the mapped
//     and SUBST drives of its user's unelevated session) every path names
//     nothing, though the module file name may lie there;
//   - a program starts only when it is one (its content empty, standing for
//     bytes that do not matter, or beginning with "MZ") and policy allows
//     it (`refused_programs`: AppLocker, WDAC, Smart App Control);
//   - restricting the DLL search is recorded and changes nothing else: the
//     simulated process loads no DLLs; where the search cannot be confined
//     (`lookups_confined` false: Vista and 7 without their update) the
//     members that need a DLL outside KERNEL32 fail (LookupsConfined);
//   - time passes only while this process waits: a program runs for the
//     time `runs` gives it and then ends with its exit code, after starting
//     its children, which run on their own; a suspended program runs from
//     ResumeThread on. A process in a job puts its children in the same job,
//     or in a job of its own nested in it (Run::own_job); a job's messages
//     go to its completion port and to that of every job above it (Windows
//     8 on): one for each process that joins or ends, and one from each job
//     none of whose processes is left, unless `lose_job_messages`;
//     AssignProcessToJobObject fails for a launcher inside a job that allows
//     no breakaway (`in_job_without_breakaway`, Windows 7). A child that
//     asks to leave its job (Run::break_away) starts outside it where every
//     job it is in allows that, and does not start elsewhere; a job made
//     here allows it, and ends its processes when its handle closes until
//     ClearKillOnJobClose;
//   - every file and folder has an owner and the accounts its DACL lets
//     change it, as data, and a number of names (hard links); a folder this
//     process creates is owned by Administrators and grants SYSTEM and
//     Administrators alone, in a protected DACL; a file created in a folder
//     inherits its writers. What this process makes has its creation time;
//   - a file opened shared (OpenFileShared) holds nothing, and only a
//     process that shares nothing with anyone (a locked node) refuses it,
//     and reads from it, until the clock reaches its time;
//   - MoveFileExA keeps deletions for the next restart (Restart), when they
//     happen in order, by name, following a link that has taken the place
//     of a folder on the way: a file, or a folder that is empty by then.
//     The system time runs on from the start of Windows (boot_time) with
//     the tick count, and a restart starts both afresh;
//   - VerifySignature checks RSA PKCS#1 v1.5 signatures with the host's
//     libcrypto, as Windows' providers do: a signature must be exactly as
//     long as the key's modulus (signature.cpp).
// Every call is recorded in order, and any call can be made to fail.
//
// The members are defined beside this header, by the part of Windows they
// imitate: paths.cpp (paths, the code page, what the process is told about
// itself), files.cpp (the tree, attributes, links), sharing.cpp (holds and
// other processes), security.cpp (owners and writers, folders made for
// administrators, opens that follow no link or hold nothing, writing),
// jobs.cpp (the clock, process trees, jobs), session.cpp (the drives of
// the session, the programs policy allows), system.cpp (the Windows
// folder, the random generator, Sleep, the time since Windows started,
// restarts), signature.cpp, search.cpp, processes.cpp, named_objects.cpp
// (mutexes, the token, private namespaces) and recording.cpp (the calls,
// faults). Its data types lie in headers of their own, by the same parts:
// calls.h, tree.h and process_table.h; how the machine is set up is
// settings.h. It is one machine, so it serves all three interfaces: every
// build's, the report build's and the signed kit's.
class SimulatedPlatform : public PlatformServices,
                          public ReportServices,
                          public SignatureServices,
                          public simulated::Settings {
 public:
  using Op = simulated::Op;
  static const char* Name(Op op);
  // What the ANSI calls make of a name held in the tree (best fit).
  static std::string AnsiRendering(const std::string& name);

  using Call = simulated::Call;
  using Node = simulated::Node;
  using Process = simulated::Process;
  using Run = simulated::Run;
  using NoCaseLess = simulated::NoCaseLess;
  using Tree = simulated::Tree;

  SimulatedPlatform();

  // Setting up the machine; none of these is recorded. Missing parent
  // folders are created. Paths are canonical: drive, "\", parts.
  void AddFolder(const std::string& path, std::uint32_t attributes = 0);
  void AddFile(const std::string& path, const std::string& content = "",
               std::uint32_t attributes = 0);
  void AddLink(const std::string& path, const std::string& target, bool folder);
  void SetInUse(const std::string& path);
  void SetShortName(const std::string& path, const std::string& short_name);
  void Remove(const std::string& path);  // the node and all below it
  // The owner and the accounts that may change the node; with
  // `dacl_protected`, its DACL takes nothing from its parent.
  void SetSecurity(const std::string& path, const std::string& owner,
                   const std::vector<std::string>& writers,
                   bool dacl_protected = false);
  void SetNames(const std::string& path, std::uint32_t names);
  // Another process shares `path` with nobody until the clock reaches
  // `until_ms`.
  void SetLocked(const std::string& path, std::uint64_t until_ms);
  // When the node at `path` was made (a FILETIME).
  void SetCreated(const std::string& path, std::uint64_t file_time);
  // The machine restarts: the deletions MoveFileExA kept happen, in order,
  // and Windows starts afresh a minute later.
  void Restart();
  // A named mutex that another process holds open; `access_denied` when its
  // security refuses this process (as one made by another user); `owner`
  // the account that made it (GetKernelObjectSecurity); `linked_to` the
  // kernel name of another object that a link of this name leads to
  // (QueryObjectName). With `boundary`, the
  // mutex lies in the private namespace of that boundary (with the
  // Administrators SID), which then exists too.
  void AddMutex(const std::string& name, bool access_denied = false,
                const std::string& boundary = "",
                const std::string& owner = "user",
                const std::string& linked_to = "");
  // The mutex `name` that AddMutex made is let go at `at_ms` on the clock.
  void ReleaseMutexAt(const std::string& name, std::uint64_t at_ms);
  // A private namespace of `boundary` (with the Administrators SID) that
  // another process made and holds.
  void AddPrivateNamespace(const std::string& boundary);

  // What another process can do to files while this one runs; not
  // recorded, and refused as on Windows: a held file cannot be opened for
  // writing, renamed or deleted, nor a held folder renamed or removed.
  bool WriteByOtherProcess(const std::string& path, const std::string& content);
  bool RenameByOtherProcess(const std::string& from, const std::string& to);
  bool DeleteByOtherProcess(const std::string& path);
  // Points the link at `path` elsewhere; a hold on the link, which shares
  // writing, does not stand in the way. False when `path` is no link.
  bool RepointByOtherProcess(const std::string& path,
                             const std::string& target);

  // Faults: the call with this index in calls() fails; every call of `op`
  // fails, or only those whose first argument names `path`.
  std::set<std::size_t> failing_calls;
  void FailOn(Op op, const std::string& path = "");

  // Inspection.
  const Tree& tree() const { return tree_; }
  bool Exists(const std::string& path) const;
  const Node* Find(const std::string& path) const;
  const std::vector<Call>& calls() const { return calls_; }
  std::vector<Op> ops() const;
  const std::vector<Process>& processes() const { return processes_; }
  std::size_t open_searches() const { return searches_.size(); }
  std::size_t open_handles() const { return handles_.size(); }
  // True while this process holds a handle to the mutex `name` (in the
  // private namespace of `boundary`, when one is given).
  bool HoldsMutex(const std::string& name,
                  const std::string& boundary = "") const;
  std::size_t open_files() const { return files_.size(); }
  // True while a handle of this process holds the file or folder at `path`.
  bool Held(const std::string& path) const;
  const std::vector<std::string>& pending_deletions() const {
    return pending_deletions_;
  }
  // The system time now (a FILETIME).
  std::uint64_t SystemTime() const;
  bool exited() const { return exited_; }
  int exit_code() const { return exit_code_; }
  bool called_after_exit() const { return called_after_exit_; }
  // Milliseconds this process has waited so far.
  std::uint32_t now() const { return now_; }
  // Processes that have not ended by now().
  std::size_t running_processes() const;
  // This process's jobs, those it has not closed.
  std::size_t open_jobs() const;

  // PlatformServices.
  void SetDefaultDllDirectories() override;
  bool LookupsConfined() override;
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) override;
  std::string GetCommandLineA() override;
  LeadBytes GetCPInfo() override;
  bool PathRemoveFileSpecA(char* path) override;
  bool PathFileExistsA(const char* path) override;
  std::uint32_t GetFileAttributesA(const char* path) override;
  Presence GetFilePresence(const char* path) override;
  bool SetFileAttributesA(const char* path, std::uint32_t attributes) override;
  bool CopyFileA(const char* existing, const char* target,
                 bool fail_if_exists) override;
  bool DeleteFileA(const char* path) override;
  bool RemoveDirectoryA(const char* path) override;
  bool FindFirstFileA(const char* pattern, Handle* search,
                      FolderEntry* entry) override;
  bool FindNextFileA(Handle search, FolderEntry* entry) override;
  bool FindClose(Handle search) override;
  bool CreateProcessA(const char* application, char* command_line,
                      const char* current_directory,
                      ProcessInformation* info) override;
  std::uint32_t WaitForSingleObject(Handle handle,
                                    std::uint32_t milliseconds) override;
  bool CloseHandle(Handle handle) override;
  MutexResult CreateMutexA(const char* name, Handle* mutex) override;
  bool GetFileAttributesExA(const char* path, std::uint64_t* size) override;
  bool CreateFileA(const char* path, bool folder, Handle* file) override;
  bool GetFileInformationByHandle(Handle file,
                                  HandleInformation* info) override;
  bool ReadFile(Handle file, void* buffer, std::uint32_t size,
                std::uint32_t* read) override;
  bool CheckTokenMembership() override;
  bool GetKernelObjectSecurity(Handle object,
                               bool* administrators_own) override;
  bool QueryObjectName(Handle object, std::string* name) override;
  bool CreateBoundaryDescriptorW(const char* name, Handle* boundary) override;
  bool AddSIDToBoundaryDescriptor(Handle* boundary) override;
  NamespaceResult CreatePrivateNamespaceW(Handle boundary, const char* alias,
                                          Handle* ns) override;
  bool OpenPrivateNamespaceW(Handle boundary, const char* alias,
                             Handle* ns) override;
  void DeleteBoundaryDescriptor(Handle boundary) override;
  std::uint32_t GetSystemWindowsDirectoryA(char* buffer,
                                           std::uint32_t size) override;
  bool GenerateRandom(void* buffer, std::uint32_t size) override;
  FolderResult CreateDirectoryA(const char* path) override;
  bool OpenFolderA(const char* path, Handle* folder) override;
  bool GetSecurityInfo(Handle object, bool* administrators_own) override;
  bool GetProtectedDacl(Handle object, bool* administrators_only) override;
  OpenResult OpenFileShared(const char* path, Handle* file) override;
  bool CreateNewFileA(const char* path, Handle* file) override;
  bool WriteFile(Handle file, const void* buffer, std::uint32_t size) override;
  bool MoveFileExA(const char* path) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t GetSystemTimeAsFileTime() override;
  bool GetTickCount64(std::uint64_t* milliseconds) override;
  bool CreateProcessSuspendedA(const char* application, char* command_line,
                               const char* current_directory,
                               ProcessInformation* info) override;
  bool ResumeThread(Handle thread) override;
  bool TerminateProcess(Handle process, std::uint32_t exit_code) override;
  void exit(int code) override;

  // ReportServices.
  bool CreateJobObjectA(Handle* job, Handle* port) override;
  bool ClearKillOnJobClose(Handle job) override;
  bool AssignProcessToJobObject(Handle job, Handle process) override;
  JobMessage GetQueuedCompletionStatus(Handle port,
                                       std::uint32_t milliseconds) override;
  bool QueryInformationJobObject(Handle job,
                                 std::uint32_t* active_processes) override;
  bool GetExitCodeProcess(Handle process, std::uint32_t* code) override;
  bool OpenMutexA(const char* name, bool* exists) override;
  std::uint32_t GetTickCount() override;
  LocalTime GetLocalTime() override;
  std::uint32_t GetCurrentThreadId() override;
  bool GetFileSecurityA(const char* path, FileSecurity* security) override;
  bool OpenAppendFileA(const char* path, Handle* file) override;

  // SignatureServices.
  bool VerifySignature(const PublisherKey& key, const std::uint8_t* digest,
                       const std::uint8_t* signature,
                       std::uint32_t size) override;

 private:
  using Search = simulated::Search;
  using Fault = simulated::Fault;
  using OpenFile = simulated::OpenFile;
  using Job = simulated::Job;
  using Boundary = simulated::Boundary;
  using ForeignMutex = simulated::ForeignMutex;

  // Records a call; true when it is to fail.
  bool Record(Op op, const std::string& first, const std::string& second = "");
  // The canonical key for `path`, following links in every part but the
  // last (and the last too when `follow_last`); "" when the path is invalid
  // or refused for its length.
  std::string Resolve(const std::string& path, bool follow_last) const;
  std::string ResolveParts(const std::vector<std::string>& parts,
                           bool follow_last, int depth) const;
  std::string ChildByShortName(const std::string& folder,
                               const std::string& short_name) const;
  std::string ShortPath(const std::string& path) const;
  bool IsFolder(const std::string& key) const;
  bool HasChildren(const std::string& key) const;
  std::vector<std::string> Children(const std::string& key) const;
  std::string ResolveProgram(const std::string& candidate) const;
  std::string ResolveCommandLineHead(const std::string& line) const;
  Handle NewHandle();
  bool HeldKey(const std::string& key) const;
  // A file at `key` (which exists) that refuses writing and deletion: a
  // folder, read-only, in use or held.
  bool RefusesChange(const std::string& key) const;
  bool HoldsMutexKey(const std::string& key) const;
  // Forgets the foreign mutexes let go by now().
  void DropReleasedMutexes();
  bool Locked(const std::string& key) const;
  // A new handle of this process on the node at `key`.
  Handle OpenKey(const std::string& key, bool shared, bool writable);
  // Held itself, or (for a folder) anything below it.
  bool HeldAtOrBelow(const std::string& key) const;
  // The key a mutex name stands for: in a namespace opened under its alias,
  // or the plain name.
  std::string MutexKey(const std::string& name) const;
  // Starts a program, suspended or running; false when it cannot.
  bool StartProcess(Op op, const char* application, const char* command_line,
                    const char* current_directory, bool suspended,
                    ProcessInformation* info);
  // Whether the session has `drive` ("C:"); a program at `key` may start.
  bool HasDrive(const std::string& drive) const;
  bool MayStart(const std::string& key) const;
  // Lets the process at `index` run from now on: its children start.
  void BeginRunning(std::size_t index);
  // Ends `process` now, with its job's messages.
  void End(Process& process);
  // Moves the clock to `time`, ending the processes due by then in the
  // order they end, with their jobs' messages.
  void AdvanceTo(std::uint32_t time);
  // The earliest end after now() of a running process; false when none.
  bool NextEnd(std::uint32_t* time) const;
  // Processes not ended in `job` or a job nested in it.
  std::size_t ActiveIn(Handle job) const;
  // Whether a process of job `inner` is in `job`: the same or nested in it.
  // Whether every job from `job` up lets a child break away.
  bool BreakawayAllowed(Handle job) const;
  bool InJob(Handle inner, Handle job) const;
  // Sends `message` from `job` to its port and to that of every job above.
  void Post(Handle job, JobMessage message);
  Process* FindProcess(Handle process);

  Tree tree_;
  std::vector<Call> calls_;
  std::vector<Fault> faults_;
  std::map<Handle, Search> searches_;
  std::set<Handle> handles_;
  std::map<Handle, std::string> mutex_handles_;  // this process's, by handle
  std::map<std::string, ForeignMutex> foreign_mutexes_;  // by key
  std::map<Handle, OpenFile> files_;
  std::map<Handle, Boundary> boundaries_;
  std::set<std::string> namespaces_;            // every one that exists
  std::map<std::string, std::string> aliases_;  // this process's: -> key
  std::vector<Process> processes_;
  std::vector<std::string> pending_deletions_;  // names, in order
  std::uint8_t next_random_ = 0;
  std::map<Handle, Job> jobs_;
  std::uint32_t now_ = 0;
  Handle next_handle_ = 0x100;
  bool exited_ = false;
  int exit_code_ = -1;
  bool called_after_exit_ = false;
};

#endif  // LAUNCHER_PLATFORM_SIMULATED_SIMULATED_PLATFORM_H_
