// How the commands report: every error on stderr (PrintError, declared in
// commands.h), and for list, test and extract the loading of an archive file
// and where and why it is refused, on stderr and in JSON.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "inspect/extraction_watch.h"
#include "inspect/payload_integrity.h"
#include "engine/requests.h"

// A JSON value as text, on one line or indented. Text that is not UTF-8
// becomes U+FFFD instead of stopping the program: every text meant for JSON
// is converted before (Utf8Text, NativeJsonText), and this only keeps one
// that was missed from ending the program without output.
std::string JsonDump(const nlohmann::json& value, int indent = -1);

// JsonDump on stdout, and a newline.
void PrintJson(const nlohmann::json& value, int indent = -1);

// A command's failure before it has a result: with json, {"ok": false,
// "error": message, "code": RefusalCodeName(code)} on stdout; always the
// message on stderr. Returns status.
int ReportFailure(bool json, int status, RefusalCode code, const std::string& message);

// Opens the archive file, or an installer's payload, to be read in pieces;
// on failure reports the error (ReportFailure) and sets status to the exit
// status to return.
bool OpenArchive(const std::string& path, bool json, ArchiveInput& input, int& status);

// "filepacker: <name> (entry N, chunk K, offset O): <cause> [<outcome>]" on
// stderr; for a fault outside an entry, or one whose name is not known, the
// archive's path stands first.
void PrintFault(const std::string& archive, const ArchiveFault& fault);

// The same fields: name, entry, chunk, offset (null where none applies),
// cause, code (RefusalCodeName) and message (the outcome text), in UTF-8.
nlohmann::json FaultJson(const ArchiveFault& fault);

// The payload check as JSON: null for a bare archive, else whether the
// installer carries one ("carried"), whether it holds ("holds", null when
// none is carried), and the CRCs in hexadecimal with the bytes they cover.
nlohmann::json CheckJson(const IntegrityCheck& check);
