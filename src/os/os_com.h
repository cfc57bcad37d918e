// The Os facet of COM: the library's start and end, new GUIDs and their text.
#pragma once

#include <string>

#include "os/guid.h"

namespace tav {

class OsCom {
 public:
  virtual bool CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  virtual bool CoCreateGuid(Guid& guid) = 0;
  // StringFromCLSID, the text freed with CoTaskMemFree: "{XXXXXXXX-...}".
  // False when the conversion fails.
  virtual bool StringFromClsid(const Guid& guid, std::wstring& text) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsCom() = default;
};

}  // namespace tav
