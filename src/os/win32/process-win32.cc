// Child programs: started hidden, their standard handles on the NUL device,
// inheriting nothing else of the tool, each in a job of its own so that
// ending it also ends whatever it started; waited for with or without a
// limit; the system folder where the system's own programs are found.
#include <algorithm>
#include <vector>

#include "os/win32/procedure_lookup.h"
#include "os/win32/unique_handle.h"
#include "os/win32/win32_os_impl.h"
#include "os/win32/windows_api.h"

namespace tav::win32 {
namespace {

// How long a child that was ended is waited for: ending is asynchronous, but
// a process that does not go within this time is not waited for any longer.
constexpr DWORD kEndedChildWaitMilliseconds = 10000;

class Win32Process final : public OsProcess {
 public:
  Win32Process(UniqueHandle process, UniqueHandle job)
      : process_(std::move(process)), job_(std::move(job)) {}
  bool Wait(std::optional<std::chrono::milliseconds> limit) override {
    // No limit waits INFINITE; one beyond INFINITE - 1 ms (49 days) is cut.
    DWORD milliseconds = INFINITE;
    if (limit)
      milliseconds = static_cast<DWORD>(std::clamp<long long>(limit->count(), 0, 0xFFFFFFFE));
    return ::WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
  }
  void Terminate() override {
    // The job holds the child and everything it started; without one only
    // the child itself can be ended.
    if (!job_ || !::TerminateJobObject(job_.get(), 1)) ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), kEndedChildWaitMilliseconds);
  }
  std::optional<uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }

 private:
  UniqueHandle process_;  // closed with the object
  UniqueHandle job_;      // closing it ends whatever the child left running
};

// A job that ends its processes when its last handle closes and lets a
// process started with CREATE_BREAKAWAY_FROM_JOB leave it; none when the
// system refuses one.
UniqueHandle CreateChildJob() {
  UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  ::ZeroMemory(&limits, sizeof limits);
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
    return UniqueHandle();
  return job;
}

// PROC_THREAD_ATTRIBUTE_HANDLE_LIST and the start-up structure that carries
// it (Vista and later; the headers target Windows XP).
constexpr DWORD_PTR kHandleListAttribute = 0x20002;
constexpr DWORD kExtendedStartupInfoPresent = 0x00080000;
struct StartupInfoEx {
  STARTUPINFOW StartupInfo;
  void* AttributeList;
};
using InitializeAttributeListFunction = BOOL(WINAPI*)(void* list, DWORD count, DWORD flags,
                                                      SIZE_T* size);
using UpdateAttributeFunction = BOOL(WINAPI*)(void* list, DWORD flags, DWORD_PTR attribute,
                                              void* value, SIZE_T size, void* previous,
                                              SIZE_T* returnSize);
using DeleteAttributeListFunction = void(WINAPI*)(void* list);

// An attribute list that lets the child inherit exactly one handle; empty
// where the system has no such lists (Windows XP).
class InheritOnly {
 public:
  explicit InheritOnly(HANDLE handle) : handle_(handle) {
    const auto initialize = SystemProcedure<InitializeAttributeListFunction>(
        L"kernel32.dll", "InitializeProcThreadAttributeList");
    const auto update =
        SystemProcedure<UpdateAttributeFunction>(L"kernel32.dll", "UpdateProcThreadAttribute");
    delete_ = SystemProcedure<DeleteAttributeListFunction>(L"kernel32.dll",
                                                           "DeleteProcThreadAttributeList");
    if (!initialize || !update || !delete_) return;
    SIZE_T size = 0;
    initialize(nullptr, 1, 0, &size);
    if (size == 0) return;
    memory_.resize(size);
    if (!initialize(memory_.data(), 1, 0, &size)) return;
    initialized_ = true;
    ready_ = update(memory_.data(), 0, kHandleListAttribute, &handle_, sizeof handle_, nullptr,
                    nullptr) != 0;
  }
  ~InheritOnly() {
    if (initialized_) delete_(memory_.data());
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;

  void* list() { return ready_ ? memory_.data() : nullptr; }

 private:
  HANDLE handle_;
  DeleteAttributeListFunction delete_ = nullptr;
  std::vector<unsigned char> memory_;
  bool initialized_ = false;
  bool ready_ = false;
};

// The NUL device for reading and writing, inheritable: a question the child
// asks reads end-of-file, and what it prints goes nowhere.
UniqueHandle OpenNulDevice() {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  return UniqueHandle(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                    OPEN_EXISTING, 0, nullptr));
}

}  // namespace

std::unique_ptr<OsProcess> Win32Processes::StartHidden(const std::wstring& program,
                                                       const std::wstring& commandLine) {
  // CreateProcessW may write into the command line it is given: a private copy.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');

  StartupInfoEx startup;
  ::ZeroMemory(&startup, sizeof startup);
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info;
  ::ZeroMemory(&info, sizeof info);

  // Only the NUL handle is inherited, and only where a handle list names it
  // (Vista and later). Without a list nothing is inherited at all, and a
  // console child gets a hidden console of its own.
  UniqueHandle nul = OpenNulDevice();
  InheritOnly inheritOnly(nul.get());
  BOOL inherit = FALSE;
  DWORD flags = CREATE_SUSPENDED;
  void* list = nul ? inheritOnly.list() : nullptr;
  if (list) {
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nul.get();
    startup.StartupInfo.hStdOutput = nul.get();
    startup.StartupInfo.hStdError = nul.get();
    inherit = TRUE;
    startup.AttributeList = list;
    startup.StartupInfo.cb = sizeof startup;
    flags |= kExtendedStartupInfoPresent;
  }

  const wchar_t* application = program.empty() ? nullptr : program.c_str();
  BOOL created =
      ::CreateProcessW(application, buffer.data(), nullptr, nullptr, inherit, flags, nullptr,
                       nullptr, reinterpret_cast<STARTUPINFOW*>(&startup), &info);
  // Whatever came back is owned from here on.
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  if (!created || !process) return nullptr;
  // Put in its job before it runs, so that nothing it starts escapes. A
  // system that refuses (Windows 7 and earlier when the tool is in a job
  // already) runs it without one.
  UniqueHandle job = CreateChildJob();
  if (job && !::AssignProcessToJobObject(job.get(), process.get())) job.Reset();
  if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
    ::TerminateProcess(process.get(), 1);
    return nullptr;
  }
  return std::make_unique<Win32Process>(std::move(process), std::move(job));
}

std::wstring Win32Processes::SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  // Under WoW64 a 32-bit tool gets "System32" too; the file system
  // redirects it to the 32-bit programs, as for any 32-bit caller.
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return L"";
  return std::wstring(buffer, length);
}

}  // namespace tav::win32
