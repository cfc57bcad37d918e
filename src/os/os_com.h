// The Os facet of COM: the library's start and end, new GUIDs and their text.
#pragma once

#include <optional>
#include <string>

#include "os/guid.h"

namespace tav {

class OsCom {
 public:
  // CoInitialize; false when COM could not be started (then Stop is not called).
  virtual bool Start() = 0;
  // CoUninitialize, after a successful Start.
  virtual void Stop() = 0;
  // CoCreateGuid: a new GUID; nothing when none could be made.
  virtual std::optional<Guid> NewGuid() = 0;
  // StringFromCLSID: "{XXXXXXXX-XXXX-...}"; nothing when the conversion fails.
  virtual std::optional<std::wstring> GuidText(const Guid& guid) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsCom() = default;
};

}  // namespace tav
