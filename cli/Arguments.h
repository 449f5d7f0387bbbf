// Numbers as the command line gives them.
#pragma once

#include <string>

#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// A record ID as given on the command line: decimal, or hexadecimal with 0x.
LKMDB7::DWORD ParseRecordID(const std::string& text);
// A bit word (decimal or 0x hexadecimal) of at most `max`; `what` names the option. Throws
// CliError (2) naming `what` and the text.
unsigned ParseBits(const std::string& text, unsigned max, const std::string& what);
// A secret-field mask (decimal or 0x hexadecimal) under the library's rule (CheckFieldMask);
// `what` names the option. Throws CliError (2) naming `what`, the text and the rule.
LKMDB7::WORD ParseMask(const std::string& text, const std::string& what);

}  // namespace lkmdb
