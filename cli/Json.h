// The JSON that lkmdb prints for scripts (docs/json.md): every document is an object that carries
// "schemaVersion", and a record has one shape wherever it appears (ls, search, show, export, dump).
#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// Raised when a member changes meaning or goes away; new members do not raise it.
inline constexpr int kJsonSchemaVersion = 1;

// An empty document: {"schemaVersion": kJsonSchemaVersion}.
nlohmann::json JsonDocument();

// Whether RecordJson writes the values of secret fields or null in their place.
enum class Secrets { kHidden, kRevealed };

// A record in the shared shape: recordId, type, category, fields (ten texts; null for a secret
// one while hidden), labels (ten: the record's own, else its type's, else ""), mask, note, icon,
// localOnly, viewCount, attachmentName.
nlohmann::json RecordJson(LKMDB7::CDatabaseObj7& db, const LKMDB7::CRecord& record,
                          Secrets secrets);

// A failure as scripts read it on the error stream: {"schemaVersion", "error": {"exitCode",
// "message"}}.
nlohmann::json ErrorJson(int exitCode, const std::string& message);

// doc, indented, and a line feed.
void WriteJson(std::ostream& out, const nlohmann::json& doc);

}  // namespace lkmdb
