// The Os facet of path strings: the shlwapi functions the core names.
#pragma once

#include <string>

namespace tav {

class OsPaths {
 public:
  // PathCombineW into a MAX_PATH buffer; empty when the result does not fit.
  virtual std::wstring PathCombine(const std::wstring& folder, const std::wstring& file) = 0;
  // PathAppendW; false (path unchanged) when the result does not fit.
  virtual bool PathAppend(std::wstring& path, const std::wstring& more) = 0;
  // PathRemoveFileSpecW: removes the last element and its separator.
  virtual bool PathRemoveFileSpec(std::wstring& path) = 0;

 protected:
  // Never deleted through this interface: whoever made the facet owns it.
  ~OsPaths() = default;
};

}  // namespace tav
