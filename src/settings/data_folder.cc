// PLACEHOLDER: replaced by the real implementation.
#include "settings/data_folder.h"
namespace tav {
std::wstring GetDataFolder(Os&) { return L""; }
std::wstring GetUserDataFolder(Os&) { return L""; }
std::wstring GetModuleFolder(Os&) { return L""; }
}
