#include "os/folder_security.h"

#include <gtest/gtest.h>

#include <map>

namespace tav {
namespace {

// An in-memory machine: what stands at each path, and every change made.
class FakeFolderSecurity final : public FolderSecurity {
 public:
  std::map<std::wstring, FolderState> Found;
  std::wstring Failing;  // "move", "create" or "lock" fails; "stays": a move leaves the object
  std::wstring Calls;

  FolderState Examine(const std::wstring& path) override {
    const auto found = Found.find(path);
    return found == Found.end() ? FolderState::kMissing : found->second;
  }
  bool MoveAside(const std::wstring& path, const std::wstring& newPath) override {
    Calls += L"move " + path + L">" + newPath + L"; ";
    if (Failing == L"move") return false;
    for (auto it = Found.begin(); it != Found.end();) {  // the object and all below it
      it = it->first.rfind(path, 0) == 0 && Failing != L"stays" ? Found.erase(it) : std::next(it);
    }
    Found[newPath] = FolderState::kLink;
    return true;
  }
  bool CreateFolder(const std::wstring& path) override {
    Calls += L"create " + path + L"; ";
    if (Failing == L"create" || Examine(path) != FolderState::kMissing) return false;
    Found[path] = FolderState::kUntrustedFolder;  // not trusted until locked
    return true;
  }
  bool Lock(const std::wstring& path) override {
    Calls += L"lock " + path + L"; ";
    return Failing != L"lock";
  }
};

constexpr FolderState kMissing = FolderState::kMissing, kTrusted = FolderState::kTrustedFolder,
                      kUntrusted = FolderState::kUntrustedFolder, kLink = FolderState::kLink,
                      kFile = FolderState::kFile, kUnreadable = FolderState::kUnreadable;

struct PrepareCase {
  FolderState Vendor, Product;
  bool Moved1Taken;  // C:\PD\VARENTO.moved-1 exists already
  const wchar_t* Failing;
  bool Done;
  const wchar_t* Calls;
};

TEST(FolderSecurityTest, PreparesEachLevelByWhatStandsThere) {
  const PrepareCase cases[] = {
      {kMissing, kMissing, false, L"", true,
       L"create V; lock V; create V\\T; lock V\\T; "},
      {kTrusted, kTrusted, false, L"", true, L"lock V; lock V\\T; "},
      {kUntrusted, kTrusted, false, L"", true,
       L"move V>V.moved-1; create V; lock V; create V\\T; lock V\\T; "},
      {kLink, kMissing, true, L"", true,
       L"move V>V.moved-2; create V; lock V; create V\\T; lock V\\T; "},
      {kFile, kMissing, false, L"", true,
       L"move V>V.moved-1; create V; lock V; create V\\T; lock V\\T; "},
      {kTrusted, kLink, false, L"", true,
       L"lock V; move V\\T>V\\T.moved-1; create V\\T; lock V\\T; "},
      {kTrusted, kUntrusted, false, L"", true,
       L"lock V; move V\\T>V\\T.moved-1; create V\\T; lock V\\T; "},
      {kTrusted, kUnreadable, false, L"", true,
       L"lock V; move V\\T>V\\T.moved-1; create V\\T; lock V\\T; "},
      {kLink, kMissing, false, L"move", false, L"move V>V.moved-1; "},
      {kLink, kMissing, false, L"stays", false, L"move V>V.moved-1; "},
      {kMissing, kMissing, false, L"create", false, L"create V; "},
      {kTrusted, kTrusted, false, L"lock", false, L"lock V; "},
  };
  for (const PrepareCase& c : cases) {
    FakeFolderSecurity security;
    security.Failing = c.Failing;
    if (c.Vendor != kMissing) security.Found[L"C:\\PD\\VARENTO"] = c.Vendor;
    if (c.Product != kMissing) security.Found[L"C:\\PD\\VARENTO\\TAV_POWERSAVE"] = c.Product;
    if (c.Moved1Taken) security.Found[L"C:\\PD\\VARENTO.moved-1"] = kFile;
    std::wstring log;
    const bool done = PrepareDataFolder(security, L"C:\\PD\\", [&log](const std::wstring& line) { log += line; });
    std::wstring calls = security.Calls;
    for (auto [from, to] : {std::pair<std::wstring, std::wstring>{L"C:\\PD\\VARENTO", L"V"}, {L"TAV_POWERSAVE", L"T"}}) {
      for (size_t at; (at = calls.find(from)) != std::wstring::npos;) calls.replace(at, from.size(), to);
    }
    EXPECT_EQ(done, c.Done) << c.Calls;
    EXPECT_EQ(calls, c.Calls);
    // A move aside is always in the log, with both names.
    const size_t move = security.Calls.find(L"move ");
    if (move != std::wstring::npos && c.Done) {
      const std::wstring aside = security.Calls.substr(security.Calls.find(L'>', move) + 1);
      EXPECT_NE(log.find(L"moved aside to " + aside.substr(0, aside.find(L';'))), std::wstring::npos) << log;
    }
  }
}

}  // namespace
}  // namespace tav
