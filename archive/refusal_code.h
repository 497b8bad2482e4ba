// Why an archive, an installer or a package is refused, as a number apart
// from its words: the words name offsets, sizes and files for whoever reads
// them, the code is what a program decides by (the web page picks its own
// words by it, a script its next step). Each code's name is what JSON
// carries; names are never renamed or reused, as pages and scripts keep them.
#pragma once

#include <cstdint>
#include <string>

enum class RefusalCode : uint8_t {
  kNone,              // nothing refused
  kOther,             // a refusal no code below describes: the words say it
  // Reading an archive or installer.
  kUnreadable,        // the file cannot be opened or read
  kNotArchive,        // neither an archive nor an installer
  kNoPayload,         // an executable that carries no archive that can be read
  kTruncated,         // the archive ends before what it describes
  kUndecodable,       // coded bytes that do not decode
  kPayloadDamaged,    // the payload's bytes differ from its check record
  kCheckRecordDamaged,
  kCoded,             // an archive coded in a way the installer does not read
  kImpossibleValues,  // a size, length or count no archive holds
  kNoBytes,           // nothing to unpack, which the installer refuses
  kOutOfMemory,
  kCannotCreate,      // a file could not be created or written
  // A name the installer could not create in its install folder.
  kNameTooLong,
  kNameSeparator,
  kNameCharacter,     // a character Windows names cannot hold
  kNameRefused,       // a device name, a trailing dot or space, or refused by the extractor
  kSameFile,          // Windows takes it for an earlier name
  kShortName,         // an earlier file's short (8.3) name
  // Making a package or an installer.
  kNoSetup,           // no top-level Setup.exe
  kSubfolder,         // a folder inside a folder
  kNoCodePageForm,    // a name with no code page 932 form
  kTooLarge,          // more than the format or an installer holds
  kBlockSize,         // a block size outside the format's range
  kUsage,             // a request that cannot be carried out as given
};

// The code as JSON carries it: "none", "not_archive", "same_file", ...
const char* RefusalCodeName(RefusalCode code);

// A refusal: what a program decides by, and what a person reads.
struct Refusal {
  RefusalCode code = RefusalCode::kNone;
  std::string text;

  bool Refused() const { return code != RefusalCode::kNone; }
};
