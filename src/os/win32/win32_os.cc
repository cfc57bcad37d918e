#include "os/win32/win32_os.h"

#include "os/win32/win32_os_impl.h"

namespace tav {
namespace {

// The facets, made before the Os that points at them.
struct Win32FacetObjects {
  win32::Win32System system_;
  win32::Win32Processes processes_;
  win32::Win32Files files_;
  win32::Win32Profile profile_;
  win32::Win32Power power_;
  win32::Win32Com com_;
  win32::Win32Sleep sleep_;
};

class Win32Os final : private Win32FacetObjects, public Os {
 public:
  Win32Os() : Os(OsFacets{&system_, &processes_, &files_, &profile_, &power_, &com_, &sleep_}) {}
};

}  // namespace

std::unique_ptr<Os> MakeWin32Os() { return std::make_unique<Win32Os>(); }

}  // namespace tav
