#include "tools/filepacker/fault_report.h"

#include <algorithm>
#include <cstdio>

#include "inspect/archive_file.h"
#include "tools/filepacker/commands.h"
#include "tools/filepacker/text_format.h"

void PrintError(const std::string& message) {
  std::fprintf(stderr, "filepacker: %s\n", TerminalText(message).c_str());
}

std::string JsonDump(const nlohmann::json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

void PrintJson(const nlohmann::json& value, int indent) { std::printf("%s\n", JsonDump(value, indent).c_str()); }

int ReportFailure(bool json, int status, RefusalCode code, const std::string& message) {
  if (json) PrintJson({{"ok", false}, {"error", NativeJsonText(message)}, {"code", RefusalCodeName(code)}});
  PrintError(message);
  return status;
}

bool OpenArchive(const std::string& path, bool json, ArchiveInput& input, int& status) {
  const Answer opened = input.OpenFile(path);
  if (!opened.refusal.Refused()) return true;
  status = ReportFailure(json, opened.ExitStatus(), opened.refusal.code, opened.refusal.text);
  return false;
}

void PrintFault(const std::string& archive, const ArchiveFault& fault) {
  std::string place;
  if (fault.entry > 0) place += "entry " + std::to_string(fault.entry);
  if (fault.chunk > 0) place += ", chunk " + std::to_string(fault.chunk);
  if (fault.offset >= 0) place += (place.empty() ? "" : ", ") + std::string("offset ") + std::to_string(fault.offset);
  std::string text = fault.entry > 0 && !fault.name.empty() ? ConsoleText(fault.name) : archive;
  if (!place.empty()) text += " (" + place + ")";
  text += ": " + fault.cause;
  if (!fault.outcome.empty()) {
    // The installer's texts break their lines for a message box; here they
    // stand on one.
    std::string outcome = fault.outcome;
    std::replace(outcome.begin(), outcome.end(), '\n', ' ');
    text += " [" + ConsoleText(outcome) + "]";
  }
  PrintError(text);
}

nlohmann::json FaultJson(const ArchiveFault& fault) {
  auto orNull = [](bool present, int64_t value) { return present ? nlohmann::json(value) : nlohmann::json(nullptr); };
  return {{"name", fault.name.empty() ? nlohmann::json(nullptr) : nlohmann::json(Utf8Text(fault.name))},
          {"entry", orNull(fault.entry > 0, fault.entry)},
          {"chunk", orNull(fault.chunk > 0, fault.chunk)},
          {"offset", orNull(fault.offset >= 0, fault.offset)},
          {"cause", NativeJsonText(fault.cause)},
          {"code", RefusalCodeName(fault.code)},
          {"message", Utf8Text(fault.outcome)}};
}

nlohmann::json CheckJson(const IntegrityCheck& check) {
  if (check.integrity == Integrity::kArchive) return nullptr;
  nlohmann::json json = {{"carried", check.integrity != Integrity::kUnchecked}, {"holds", nullptr}};
  if (check.integrity == Integrity::kUnchecked) return json;
  const PayloadReading& reading = check.reading;
  json["holds"] = check.integrity == Integrity::kWhole;
  if (reading.verdict != PayloadVerdict::kBadRecord) {
    json["covered"] = reading.covered;
    json["expected"] = CrcHex(reading.expected);
    json["computed"] = reading.verdict == PayloadVerdict::kShortPayload ? nlohmann::json(nullptr)
                                                                         : nlohmann::json(CrcHex(reading.computed));
  }
  return json;
}
