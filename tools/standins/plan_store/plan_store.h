// The stand-ins' plan store file (its format: os/posix/plan_store_format.h):
// where it lies, loading it and saving it whole, and GUID text as the Windows
// GUID structure holds it. Opens files by UTF-8 path, so the Windows
// stand-ins build it too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "os/posix/plan_store_format.h"

namespace tav::standin {

// <dir>/plan-store.txt, with this platform's separator.
std::string PlanStorePathIn(const std::string& dir);
// <dir>/<name>, with this platform's separator.
std::string StateFilePath(const std::string& dir, const std::string& name);
// fopen for a UTF-8 path (_wfopen on Windows); `mode` is ASCII.
FILE* OpenUtf8Path(const std::string& path, const char* mode);
// A missing file yields the default store; false on an unreadable file.
bool LoadPlanStore(const std::string& path, PlanStore& store);
// Replaces the file whole (temporary file, then rename).
bool SavePlanStore(const std::string& path, const PlanStore& store);

// The fields of the Windows GUID structure, from and to GUID text.
bool ParseGuidText(const std::string& text, uint32_t& data1, uint16_t& data2,
                   uint16_t& data3, uint8_t data4[8]);
std::string GuidText(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8]);

}  // namespace tav::standin
