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

  std::unique_ptr<OsProcess> StartHidden(const std::wstring&,
                                         const std::wstring& commandLine) override {
    struct Ended : OsProcess {
      bool Wait(std::optional<std::chrono::milliseconds>) override { return true; }
      void Terminate() override {}
      std::optional<uint32_t> ExitCode() override { return 0; }
    };
    ++started;
    const std::wstring activate = L"powercfg.exe /SETACTIVE ";
    if (commandLine.compare(0, activate.size(), activate) == 0)
      activePlan_ = ToUtf8(commandLine.substr(activate.size()));
    return std::make_unique<Ended>();
  }

  std::wstring SystemFolder() override { return inner_->processes().SystemFolder(); }

  std::unique_ptr<OsPowerLibrary> OpenLibrary() override {
    // The inner library, with the active plan that the last "/SETACTIVE" set.
    class ActivePlanLibrary : public OsPowerLibrary {
     public:
      ActivePlanLibrary(std::unique_ptr<OsPowerLibrary> inner, std::string active)
          : inner_(std::move(inner)), active_(std::move(active)) {}
      std::optional<Guid> PlanAt(uint32_t index) override { return inner_->PlanAt(index); }
      std::optional<std::wstring> PlanName(const Guid& plan) override {
        return inner_->PlanName(plan);
      }
      ActivePlanReading ActivePlan() override {
        if (active_.empty()) return inner_->ActivePlan();
        ActivePlanReading reading{ActivePlanReading::Status::kRead, Guid{}, 0};
        Guid& active = reading.Plan;
        if (!standin::ParseGuidText(active_, active.Data1, active.Data2, active.Data3,
                                    active.Data4))
          reading = ActivePlanReading{ActivePlanReading::Status::kFailed, Guid{}, 13};
        return reading;
      }

     private:
      std::unique_ptr<OsPowerLibrary> inner_;
      std::string active_;
    };
    std::unique_ptr<OsPowerLibrary> inner = inner_->power().OpenLibrary();
    if (!inner) return nullptr;
    return std::make_unique<ActivePlanLibrary>(std::move(inner), activePlan_);
  }

  std::optional<std::vector<std::wstring>> SchemeNames() override {
    return inner_->power().SchemeNames();
  }

 private:
  std::unique_ptr<Os> inner_;  // owns the facets that are not replaced
  std::string activePlan_;  // GUID text of the last "/SETACTIVE"
};

}  // namespace tav::bench
