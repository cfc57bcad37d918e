// An Os that is PosixOs in everything except child programs: a started
// program "ends" at once without a process. Runs the tool's own work in
// process, so that its cost can be told apart from the children's. The one
// effect of powercfg.exe that the tool asks the system about, the active plan
// after "/SETACTIVE <GUID>", is kept here and reported by the power library.
//
// It is an Os made of the inner Os's facets with two replaced by its own: the
// child processes (no program is started) and the power library (the active
// plan above); every other call is the inner Os's.
#pragma once

#include <memory>
#include <string>

#include "os/os.h"
#include "os/utf8.h"
#include "standins/plan_store/plan_store.h"

namespace tav::bench {

class NoChildOs : public OsProcesses, public OsPower, public Os {
 public:
  explicit NoChildOs(std::unique_ptr<Os> inner)
      : Os(inner->facets()
               .With(static_cast<OsProcesses&>(*this))
               .With(static_cast<OsPower&>(*this))),
        inner_(std::move(inner)) {}
  size_t started = 0;  // programs that would have been started

  std::unique_ptr<OsProcess> CreateHiddenProcess(const std::wstring& applicationName,
                                                 std::wstring& commandLine) override {
    struct Ended : OsProcess {
      void WaitForExit() override {}
      bool WaitForExitWithin(std::chrono::milliseconds) override { return true; }
      void Terminate() override {}
      bool GetExitCode(uint32_t& exitCode) override {
        exitCode = 0;
        return true;
      }
    };
    ++started;
    const std::wstring activate = L"powercfg.exe /SETACTIVE ";
    if (commandLine.compare(0, activate.size(), activate) == 0)
      activePlan_ = ToUtf8(commandLine.substr(activate.size()));
    return std::make_unique<Ended>();
  }

  std::wstring GetSystemDirectory() override { return inner_->GetSystemDirectory(); }

  std::unique_ptr<OsPowerLibrary> LoadPowerLibrary() override {
    // The inner library, with the active plan that the last "/SETACTIVE" set.
    class ActivePlanLibrary : public OsPowerLibrary {
     public:
      ActivePlanLibrary(std::unique_ptr<OsPowerLibrary> inner, std::string active)
          : inner_(std::move(inner)), active_(std::move(active)) {}
      std::optional<Guid> PowerEnumerate(uint32_t index) override {
        return inner_->PowerEnumerate(index);
      }
      std::optional<std::wstring> PowerReadFriendlyName(const Guid& plan) override {
        return inner_->PowerReadFriendlyName(plan);
      }
      bool HasPowerGetActiveScheme() override { return true; }
      uint32_t PowerGetActiveScheme(Guid& active) override {
        if (active_.empty()) return inner_->PowerGetActiveScheme(active);
        const bool parsed = standin::ParseGuidText(active_, active.data1, active.data2,
                                                   active.data3, active.data4);
        return parsed ? 0 : 13;
      }

     private:
      std::unique_ptr<OsPowerLibrary> inner_;
      std::string active_;
    };
    std::unique_ptr<OsPowerLibrary> inner = inner_->LoadPowerLibrary();
    if (!inner) return nullptr;
    return std::make_unique<ActivePlanLibrary>(std::move(inner), activePlan_);
  }

  std::optional<std::vector<std::wstring>> EnumPwrSchemes() override {
    return inner_->EnumPwrSchemes();
  }

 private:
  std::unique_ptr<Os> inner_;  // owns the facets that are not replaced
  std::string activePlan_;  // GUID text of the last "/SETACTIVE"
};

}  // namespace tav::bench
