#include "engine/requests.h"

#include <utility>

#include "inspect/archive_walk.h"

namespace {

RefusalCode LoadRefusalCode(LoadOutcome outcome) {
  switch (outcome) {
    case LoadOutcome::kLoaded: return RefusalCode::kNone;
    case LoadOutcome::kUnreadable: return RefusalCode::kUnreadable;
    case LoadOutcome::kTooLarge: return RefusalCode::kTooLarge;
    case LoadOutcome::kNoPayload: return RefusalCode::kNoPayload;
  }
  return RefusalCode::kOther;
}

Answer LoadAnswer(LoadOutcome outcome, std::string error) {
  Answer answer;
  if (outcome == LoadOutcome::kLoaded) return answer;
  answer.refusal = {LoadRefusalCode(outcome), std::move(error)};
  answer.asGiven = outcome == LoadOutcome::kUnreadable;
  return answer;
}

Refusal FaultRefusal(const ArchiveFault& fault) { return {fault.code, fault.cause}; }

// The payload's check, as the installer makes it at start-up; false, with
// the fault, when the payload cannot be read.
bool CheckPayload(ArchiveInput& input, IntegrityCheck& check, ArchiveFault& fault) {
  if (CheckIntegrity(input.bytes(), input.container(), check, fault.cause)) return true;
  fault.code = RefusalCode::kUnreadable;
  return false;
}

// The walk's fault, or a damaged payload's, as the answer's refusal.
void Judge(Answer& answer, const ArchiveWalk& walk, const IntegrityCheck& check) {
  if (check.integrity == Integrity::kDamaged) {
    answer.refusal = FaultRefusal(DamageFault(check));
  } else if (!walk.ok) {
    answer.refusal = FaultRefusal(walk.fault);
  }
}

}  // namespace

Answer ArchiveInput::OpenFile(const std::string& path) {
  name_ = path;
  std::string error;
  const LoadOutcome outcome = file_.Open(path, error);
  if (outcome == LoadOutcome::kLoaded) {
    bytes_ = &file_.bytes();
    container_ = file_.container();
  }
  return LoadAnswer(outcome, std::move(error));
}

Answer ArchiveInput::TakeBytes(const std::string& name, std::vector<uint8_t> bytes) {
  name_ = name;
  memory_ = std::move(bytes);
  std::string error;
  const LoadOutcome outcome = TakeArchive(name, memory_, error, &container_);
  if (outcome == LoadOutcome::kLoaded) {
    memoryBytes_ = std::make_unique<ArchiveBytes>(memory_);
    bytes_ = memoryBytes_.get();
  }
  return LoadAnswer(outcome, std::move(error));
}

ListTotals AddUpEntries(const ArchiveWalk& walk) {
  ListTotals totals;
  for (const WalkedEntry& entry : walk.entries) {
    totals.size += entry.size;
    totals.packed += entry.packed;
    totals.chunks += static_cast<int64_t>(entry.chunks.size());
    if (!entry.refusal.empty()) totals.refused++;
  }
  return totals;
}

ListResult ListArchive(ArchiveInput& input) {
  ListResult result;
  if (CheckPayload(input, result.check, result.walk.fault)) {
    WalkArchive(input.bytes(), WalkMode::kList, result.walk);
    result.totals = AddUpEntries(result.walk);
  }
  Judge(result, result.walk, result.check);
  return result;
}

TestResult TestArchive(ArchiveInput& input) {
  TestResult result;
  if (CheckPayload(input, result.check, result.walk.fault) &&
      result.check.integrity != Integrity::kDamaged) {
    WalkArchive(input.bytes(), WalkMode::kTest, result.walk);
  }
  Judge(result, result.walk, result.check);
  if (result.check.integrity == Integrity::kDamaged) result.walk.fault = DamageFault(result.check);
  return result;
}

ExtractResult ExtractArchive(const ExtractRequest& request) {
  ExtractResult result;
  ArchiveBytes& bytes = request.input->bytes();
  // As the installer does at start-up, before a file is written.
  IntegrityCheck check;
  if (CheckPayload(*request.input, check, result.walk.fault)) {
    if (check.integrity == Integrity::kDamaged) {
      result.walk.fileLength = bytes.size();
      result.walk.fault = DamageFault(check);
    } else {
      ExtractArchiveInto(bytes, request.folder, *request.files, *request.filesFailure, request.progress, result.walk);
    }
  }
  if (!result.walk.ok) result.refusal = FaultRefusal(result.walk.fault);
  return result;
}
