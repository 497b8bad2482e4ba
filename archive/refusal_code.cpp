#include "archive/refusal_code.h"

const char* RefusalCodeName(RefusalCode code) {
  switch (code) {
    case RefusalCode::kNone: return "none";
    case RefusalCode::kOther: return "other";
    case RefusalCode::kUnreadable: return "unreadable";
    case RefusalCode::kNotArchive: return "not_archive";
    case RefusalCode::kNoPayload: return "no_payload";
    case RefusalCode::kTruncated: return "truncated";
    case RefusalCode::kUndecodable: return "undecodable";
    case RefusalCode::kPayloadDamaged: return "payload_damaged";
    case RefusalCode::kCheckRecordDamaged: return "check_record_damaged";
    case RefusalCode::kCoded: return "coded";
    case RefusalCode::kImpossibleValues: return "impossible_values";
    case RefusalCode::kNoBytes: return "no_bytes";
    case RefusalCode::kOutOfMemory: return "out_of_memory";
    case RefusalCode::kCannotCreate: return "cannot_create";
    case RefusalCode::kNameTooLong: return "name_too_long";
    case RefusalCode::kNameSeparator: return "name_separator";
    case RefusalCode::kNameCharacter: return "name_character";
    case RefusalCode::kNameRefused: return "name_refused";
    case RefusalCode::kSameFile: return "same_file";
    case RefusalCode::kShortName: return "short_name";
    case RefusalCode::kNoSetup: return "no_setup";
    case RefusalCode::kSubfolder: return "subfolder";
    case RefusalCode::kNoCodePageForm: return "no_code_page_form";
    case RefusalCode::kTooLarge: return "too_large";
    case RefusalCode::kBlockSize: return "block_size";
    case RefusalCode::kUsage: return "usage";
  }
  return "other";
}
