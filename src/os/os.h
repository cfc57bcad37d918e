// The one interface between the portable core and the operating system.
//
// The core never includes a platform header: everything it needs of the
// system (files, profile functions, processes, the power library, the clock)
// is a call on an `Os` that the entry passes in. The product uses the Win32
// layer (win32/win32_os.h), the native Linux build the POSIX layer
// (posix/posix_os.h), and tests a fake.
//
// An `Os` is made of facets, one abstract class per concept (os_system.h,
// os_processes.h, os_files.h, os_profile.h, os_power.h, os_com.h, os_sleep.h); a
// platform implements each facet once. Call sites name the facet:
// `os.files().Exists(path)`. An Os can be made from another's facets with
// one replaced (OsFacets::With), which is how a decorator or a test changes
// a few calls without restating the others.
//
// Paths are wide strings in Windows form ('\' separates folders); they are
// joined and cut by the portable functions of path_strings.h. Each call says
// what the core needs and answers with a typed result; its comment names
// the Win32 call that does it in the product.
#pragma once

#include "os/file_pin.h"
#include "os/guid.h"
#include "os/os_com.h"
#include "os/os_files.h"
#include "os/os_power.h"
#include "os/os_processes.h"
#include "os/os_profile.h"
#include "os/os_sleep.h"
#include "os/os_system.h"

namespace tav {

// One object of each facet; none may be null. They belong to whoever made
// the Os and must outlive it.
struct OsFacets {
  OsSystem* System = nullptr;
  OsProcesses* Processes = nullptr;
  OsFiles* Files = nullptr;
  OsProfile* Profile = nullptr;
  OsPower* Power = nullptr;
  OsCom* Com = nullptr;
  OsSleep* Sleep = nullptr;

  // The same facets with one replaced.
  OsFacets With(OsSystem& other) const { return Replaced(&OsFacets::System, other); }
  OsFacets With(OsProcesses& other) const { return Replaced(&OsFacets::Processes, other); }
  OsFacets With(OsFiles& other) const { return Replaced(&OsFacets::Files, other); }
  OsFacets With(OsProfile& other) const { return Replaced(&OsFacets::Profile, other); }
  OsFacets With(OsPower& other) const { return Replaced(&OsFacets::Power, other); }
  OsFacets With(OsCom& other) const { return Replaced(&OsFacets::Com, other); }
  OsFacets With(OsSleep& other) const { return Replaced(&OsFacets::Sleep, other); }

 private:
  template <typename Facet>
  OsFacets Replaced(Facet* OsFacets::*slot, Facet& other) const {
    OsFacets facets = *this;
    facets.*slot = &other;
    return facets;
  }
};

class Os {
 public:
  explicit Os(const OsFacets& facets) : facets_(facets) {}
  // A platform's Os owns its facets and is destroyed through this class.
  virtual ~Os() = default;
  // The facets point into the object that made them: an Os is not copied.
  Os(const Os&) = delete;

  const OsFacets& facets() const { return facets_; }
  OsSystem& system() { return *facets_.System; }
  OsProcesses& processes() { return *facets_.Processes; }
  OsFiles& files() { return *facets_.Files; }
  OsProfile& profile() { return *facets_.Profile; }
  OsPower& power() { return *facets_.Power; }
  OsCom& com() { return *facets_.Com; }
  OsSleep& sleep() { return *facets_.Sleep; }

 protected:
  // An Os that is its own facets (a fake machine) may be assigned another's
  // state; its facets stay its own.
  Os& operator=(const Os&) { return *this; }

 private:
  OsFacets facets_;
};

}  // namespace tav
