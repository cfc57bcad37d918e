#include "schedule/task_registration_list.h"

#include <string_view>

#include "shared/command_runner.h"
#include "shared/refusal.h"
#include "shared/text.h"
#include "shared/trace.h"

namespace tav {
namespace {

// Both values are placed between double quotes on the schtasks command line,
// and nothing is escaped: a double quote inside one would end the quoting
// early and let the rest of the value become arguments of their own. So
// would a trailing backslash, which turns the closing quote into a literal
// one when the command line is split into arguments.
bool IsQuotable(const std::wstring& value) {
  return value.find(L'"') == std::wstring::npos && (value.empty() || value.back() != L'\\');
}

// The value of a tagged field: every leading and trailing double quote removed.
std::wstring FieldValue(std::wstring_view rest) { return StripRepeated(rest, L'"', L'"'); }

// What became of one line, for the trace.
enum class LineOutcome {
  kBlank,       // no field before the line ended
  kIncomplete,  // fields, but no task name and XML path together
  kUnquotable,  // a value holds a double quote or ends in a backslash
  kMissing,     // the XML file does not exist
  kNotPlain,    // the XML path is a link, junction, folder or device
  kRefused,     // the XML file has another name too, or lies behind a link
  kRegistered,  // handed to schtasks; the XML file deleted
  kNotDeleted,  // handed to schtasks; the XML file could not be deleted
};

struct LineResult {
  LineOutcome Outcome = LineOutcome::kBlank;
  std::wstring TaskName;
  std::wstring XmlPath;
  FileCheck Check = FileCheck::kPassed;  // why a kRefused entry was refused
};

// One line (or one piece of a long line): finds the first complete entry and
// hands it on. Fields are cut at runs of "/"; a blank field ends the line.
LineResult HandleLine(Os& os, std::wstring_view line) {
  LineResult result;
  std::wstring& taskName = result.TaskName;
  std::wstring& xmlPath = result.XmlPath;
  size_t pos = 0;
  while (true) {
    // A view into the line, which outlives it.
    const std::wstring_view view = TrimWhiteSpace(NextSlashField(line, pos));
    // The end of the line, or a field of white space only, ends the line.
    if (view.empty()) break;
    result.Outcome = LineOutcome::kIncomplete;

    if (EqualsIgnoreCase(view.substr(0, 3), L"TN:")) {
      taskName = FieldValue(view.substr(3));
    } else if (EqualsIgnoreCase(view.substr(0, 3), L"XML") && view.size() > 3 &&
               view[3] == L':') {
      xmlPath = FieldValue(view.substr(4));
    }
    if (taskName.empty() || xmlPath.empty()) continue;

    // A complete entry finishes the line, whatever becomes of it. An entry
    // that cannot be quoted safely is left alone, its XML file included; so
    // is one whose XML path is not a plain file: the elevated tool would
    // clear the attribute of, and delete, whatever a link or junction that
    // another user made points to.
    if (!IsQuotable(taskName) || !IsQuotable(xmlPath)) {
      result.Outcome = LineOutcome::kUnquotable;
    } else if (!os.files().Exists(xmlPath)) {
      result.Outcome = LineOutcome::kMissing;
    } else {
      // Held open from the check to the deletion, so that schtasks reads,
      // and the tool deletes, the very file that was checked.
      FilePin xml = os.files().PinFile(xmlPath, FinalPathCheck::kCompare, PinSharing::kReadOnly);
      result.Check = xml.Check;
      if (IsRefused(xml.Check, FileUse::kTaskXml)) {
        result.Outcome = LineOutcome::kRefused;
      } else if (!xml.File) {
        result.Outcome = LineOutcome::kNotPlain;
      } else {
        RegisterScheduledTask(os, xmlPath, taskName);
        // The registration program has ended: its XML file is no longer needed.
        xml.File->ClearReadOnlyAttribute();
        result.Outcome =
            xml.File->Delete() ? LineOutcome::kRegistered : LineOutcome::kNotDeleted;
      }
    }
    return result;
  }
  return result;
}

void TraceLine(Os& os, size_t lineNumber, const LineResult& line) {
  if (line.Outcome == LineOutcome::kBlank) return;
  std::wstring text = L"task list: line " + std::to_wstring(lineNumber) + L": ";
  if (line.Outcome == LineOutcome::kIncomplete) {
    Trace(os, text + L"no complete entry");
    return;
  }
  const std::wstring entry = Quoted(line.TaskName) + L" from " + Quoted(line.XmlPath);
  switch (line.Outcome) {
    case LineOutcome::kUnquotable:
      text += L"skipped " + entry + L": a value holds a double quote or ends in a backslash";
      break;
    case LineOutcome::kMissing:
      text += L"skipped " + entry + L": the XML file does not exist";
      break;
    case LineOutcome::kNotPlain:
      text += L"skipped " + entry + L": the XML path is a link, junction, folder or device";
      break;
    case LineOutcome::kRefused:
      text += L"skipped " + entry + L": the XML file " + DescribeFileCheck(line.Check);
      break;
    case LineOutcome::kRegistered:
      text += L"registered " + entry + L"; the XML file was deleted";
      break;
    default:
      text += L"registered " + entry + L"; the XML file could not be deleted";
      break;
  }
  Trace(os, text);
}

}  // namespace

bool ProcessTaskRegistrationList(Os& os, const std::wstring& listPath) {
  // The list is held open from its check to its deletion. One that fails a
  // check counts as missing: nothing is run and nothing deleted.
  FilePin list = os.files().PinFile(listPath, FinalPathCheck::kCompare, PinSharing::kReadOnly);
  // A missing or unopenable list keeps its usual trace.
  if (IsRefused(list.Check, FileUse::kTaskList)) {
    Trace(os, L"task list: " + Quoted(listPath) + L" " + DescribeFileCheck(list.Check) +
                  L": handled as a missing list");
    return false;
  }
  std::unique_ptr<OsTextFile> file = list.File ? list.File->OpenTextFileForReading() : nullptr;
  if (!file) {
    Trace(os, L"task list: " + Quoted(listPath) +
                  L" cannot be opened for reading (missing, locked or not accessible)");
    return false;
  }

  // A long list costs no trace text where nobody reads it.
  const bool tracing = os.system().TraceWanted();
  std::wstring piece;
  size_t lineNumber = 0;
  while (file->ReadLine(piece, kListLineBufferChars)) {
    // The piece is a C string: anything behind an embedded NUL is not seen.
    const LineResult line = HandleLine(os, std::wstring_view(piece.c_str()));
    ++lineNumber;
    if (tracing) TraceLine(os, lineNumber, line);
  }
  file.reset();

  list.File->ClearReadOnlyAttribute();
  const bool deleted = list.File->Delete();
  Trace(os, L"task list: " + std::to_wstring(lineNumber) + L" line(s) read; the list " +
                (deleted ? L"was deleted" : L"could not be deleted"));
  return true;
}

bool RegisterScheduledTask(Os& os, const std::wstring& xmlPath, const std::wstring& taskName) {
  if (xmlPath.empty() || taskName.empty()) return false;
  if (!IsQuotable(xmlPath) || !IsQuotable(taskName)) return false;
  return RunSystemProgramAndWait(
      os, L"schtasks /Create /TN " + Quoted(taskName) + L" /XML " + Quoted(xmlPath) + L" /F");
}

}  // namespace tav
