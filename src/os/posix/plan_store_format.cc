// The plan store file, UTF-8 text, one "key = value" per line:
//
//   # Stand-in power management state
//   active-plan = 381b4222-f694-41f0-9685-ff5bb260df2e
//   active-scheme = 自宅または会社のデスク
//
//   [plan]
//   guid = 381b4222-f694-41f0-9685-ff5bb260df2e
//   name = バランス
//   description = ...
//   name-unreadable = 1          (only for a plan whose name cannot be read)
//   ac.brightness = 100
//   ac.monitor-timeout = 10
//   dc.7516b95f-.../aded5e82-... = 40
//
//   [scheme]
//   name = 常にオン
//   ac.monitor-timeout = 20
//
// The two "active-" lines come before the first section. "[plan]" and
// "[scheme]" each start one record; plans and schemes keep their order. Value
// keys are "ac." or "dc." and a setting name, values decimal integers, written
// in key order. Text values escape "\" as "\\", a line feed as "\n" and a
// carriage return as "\r". Lines starting with "#" and blank lines are
// ignored. Formatting gives the same bytes for the same store.
#include "os/posix/plan_store_format.h"

#include <climits>
#include <iterator>
#include <string_view>

namespace tav::standin {
namespace {

constexpr char kBalanced[] = "381b4222-f694-41f0-9685-ff5bb260df2e";
constexpr char kHighPerformance[] = "8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c";
constexpr char kPowerSaver[] = "a1841308-3541-4fab-bc81-f71556f20b4a";

// Monitor, disk, standby and hibernate time-outs in minutes, then the
// brightness; a negative entry is left out (Windows XP has no brightness).
PowerValues MakeValues(std::initializer_list<int> ac, std::initializer_list<int> dc) {
  static const char* const kKeys[] = {"monitor-timeout", "disk-timeout", "standby-timeout",
                                      "hibernate-timeout", "brightness"};
  auto fill = [](std::initializer_list<int> from, std::map<std::string, int>& to) {
    size_t i = 0;
    for (int v : from) {
      if (v >= 0) to[kKeys[i]] = v;
      ++i;
    }
  };
  PowerValues values;
  fill(ac, values.Ac);
  fill(dc, values.Dc);
  return values;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  size_t i = 0;
  while (i < text.size()) {
    const size_t escape = text.find('\\', i);
    if (escape == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, escape - i));
    if (escape + 1 == text.size()) return false;
    const char c = text[escape + 1];
    if (c == '\\') out += '\\';
    else if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else return false;
    i = escape + 2;
  }
  return true;
}

void FormatValues(const PowerValues& values, std::string& out) {
  for (const auto& [key, v] : values.Ac) out += "ac." + key + " = " + std::to_string(v) + "\n";
  for (const auto& [key, v] : values.Dc) out += "dc." + key + " = " + std::to_string(v) + "\n";
}

// "ac.<setting>" or "dc.<setting>"; false when the key is neither. `values`
// null: checked, not kept.
bool ParseValueLine(std::string_view key, const std::string& value, PowerValues* values,
                    bool& ok) {
  if (key.size() < 4 || key[2] != '.' || (key.substr(0, 2) != "ac" && key.substr(0, 2) != "dc"))
    return false;
  int v = 0;
  ok = ParseInteger(value, v);
  if (!ok || !values) return true;
  std::map<std::string, int>& to = key[0] == 'a' ? values->Ac : values->Dc;
  const std::string_view name = key.substr(3);
  // Saved stores list values in key order: appended at the end, without a
  // search; any other order (a hand-edited file, a repeated key) as before.
  if (!to.empty() && std::prev(to.end())->first < name) to.emplace_hint(to.end(), name, v);
  else to[std::string(name)] = v;
  return true;
}

}  // namespace

bool ParseInteger(const std::string& text, int& value) {
  if (text.empty() || text.size() > 11) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

PlanStore DefaultPlanStore() {
  PlanStore store;
  store.Plans.push_back(
      {kBalanced, "バランス",
       "利用可能なハードウェアでは、エネルギー消費に合わせてパフォーマンスを自動的に調整します。",
       false, MakeValues({10, 20, 30, 0, 100}, {5, 10, 15, 0, 75})});
  store.Plans.push_back({kHighPerformance, "高パフォーマンス",
                         "パフォーマンスと応答性を優先します。", false,
                         MakeValues({15, 20, 0, 0, 100}, {10, 20, 60, 0, 100})});
  store.Plans.push_back({kPowerSaver, "省電力",
                         "可能な場合はコンピューターのパフォーマンスを下げて電力を節約します。",
                         false, MakeValues({5, 20, 15, 0, 40}, {2, 5, 10, 0, 40})});
  store.ActivePlan = kBalanced;
  store.Schemes = {
      {"自宅または会社のデスク", MakeValues({20, 0, 0, 0, -1}, {5, 10, 20, 0, -1})},
      {"ポータブル/ラップトップ", MakeValues({15, 30, 20, 180, -1}, {5, 5, 5, 120, -1})},
      {"プレゼンテーション", MakeValues({0, 0, 0, 0, -1}, {0, 5, 15, 120, -1})},
      {"常にオン", MakeValues({20, 0, 0, 0, -1}, {15, 30, 0, 0, -1})},
      {"最小の電源管理", MakeValues({15, 0, 0, 0, -1}, {15, 30, 0, 0, -1})},
      {"バッテリの最大利用", MakeValues({15, 0, 20, 0, -1}, {1, 3, 2, 0, -1})},
  };
  store.ActiveScheme = "自宅または会社のデスク";
  return store;
}

std::string FormatPlanStore(const PlanStore& store) {
  std::string out = "# Stand-in power management state\n";
  out += "active-plan = " + Escape(store.ActivePlan) + "\n";
  out += "active-scheme = " + Escape(store.ActiveScheme) + "\n";
  for (const Plan& plan : store.Plans) {
    out += "\n[plan]\nguid = " + Escape(plan.Guid) + "\n";
    out += "name = " + Escape(plan.Name) + "\n";
    out += "description = " + Escape(plan.Description) + "\n";
    if (plan.NameUnreadable) out += "name-unreadable = 1\n";
    FormatValues(plan.Values, out);
  }
  for (const Scheme& scheme : store.Schemes) {
    out += "\n[scheme]\nname = " + Escape(scheme.Name) + "\n";
    FormatValues(scheme.Values, out);
  }
  return out;
}

namespace {

bool Parse(const std::string& text, PlanStore& result, bool keepValues) {
  PlanStore store;
  enum { kTop, kPlan, kScheme } section = kTop;
  // A record is complete once its identifying key was seen.
  auto recordComplete = [&]() {
    if (section == kPlan) return !store.Plans.back().Guid.empty();
    if (section == kScheme) return !store.Schemes.back().Name.empty();
    return true;
  };
  // Lines and keys are views of the text; one value buffer serves every line.
  const std::string_view all = text;
  std::string value;
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find('\n', pos);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (line == "[plan]" || line == "[scheme]") {
      if (!recordComplete()) return false;
      section = line == "[plan]" ? kPlan : kScheme;
      if (section == kPlan) store.Plans.emplace_back(); else store.Schemes.emplace_back();
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view key = line.substr(0, eq);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    size_t start = eq + 1;
    if (start < line.size() && line[start] == ' ') ++start;
    if (!Unescape(line.substr(start), value)) return false;

    if (section == kTop) {
      if (key == "active-plan") store.ActivePlan = value;
      else if (key == "active-scheme") store.ActiveScheme = value;
      else return false;
    } else if (section == kPlan) {
      Plan& plan = store.Plans.back();
      bool ok = true;
      if (key == "guid") {
        plan.Guid = NormalizeGuidText(value);
        if (plan.Guid.empty()) return false;
        for (size_t i = 0; i + 1 < store.Plans.size(); ++i)
          if (store.Plans[i].Guid == plan.Guid) return false;
      } else if (key == "name") {
        plan.Name = value;
      } else if (key == "description") {
        plan.Description = value;
      } else if (key == "name-unreadable") {
        if (value != "1" && value != "0") return false;
        plan.NameUnreadable = value == "1";
      } else if (!ParseValueLine(key, value, keepValues ? &plan.Values : nullptr, ok) || !ok) {
        return false;
      }
    } else {
      Scheme& scheme = store.Schemes.back();
      bool ok = true;
      if (key == "name") {
        if (value.empty()) return false;
        for (size_t i = 0; i + 1 < store.Schemes.size(); ++i)
          if (EqualsNoCase(store.Schemes[i].Name, value)) return false;
        scheme.Name = value;
      } else if (!ParseValueLine(key, value, keepValues ? &scheme.Values : nullptr, ok) || !ok) {
        return false;
      }
    }
  }
  if (!recordComplete()) return false;
  result = std::move(store);
  return true;
}

}  // namespace

bool ParsePlanStore(const std::string& text, PlanStore& store) { return Parse(text, store, true); }

bool ParsePlanStoreWithoutValues(const std::string& text, PlanStore& store) {
  return Parse(text, store, false);
}

bool IsGuidText(const std::string& text) { return !NormalizeGuidText(text).empty(); }

std::string NormalizeGuidText(const std::string& text) {
  std::string t = text;
  if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
  if (t.size() != 36) return "";
  for (size_t i = 0; i < t.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? t[i] != '-' : HexDigit(t[i]) < 0) return "";
    t[i] = LowerAscii(t[i]);
  }
  return t;
}

Plan* FindPlan(PlanStore& store, const std::string& guid) {
  return const_cast<Plan*>(FindPlan(static_cast<const PlanStore&>(store), guid));
}

const Plan* FindPlan(const PlanStore& store, const std::string& guid) {
  const std::string wanted = NormalizeGuidText(guid);
  if (wanted.empty()) return nullptr;
  for (const Plan& plan : store.Plans)
    if (plan.Guid == wanted) return &plan;
  return nullptr;
}

Scheme* FindScheme(PlanStore& store, const std::string& name) {
  return const_cast<Scheme*>(FindScheme(static_cast<const PlanStore&>(store), name));
}

const Scheme* FindScheme(const PlanStore& store, const std::string& name) {
  for (const Scheme& scheme : store.Schemes)
    if (EqualsNoCase(scheme.Name, name)) return &scheme;
  return nullptr;
}

}  // namespace tav::standin
