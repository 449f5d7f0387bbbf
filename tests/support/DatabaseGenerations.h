// Databases told apart by a generation number: FillGeneration(db, g) puts a fixed content into a
// database object (a few dozen records of varying count and size, a type, a category, g in the
// header), and GenerationOf recognises that content again, field by field. Saves under faults and
// kills check with them that a file holds one whole generation and nothing in between.
#pragma once

#include <string>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"

namespace lkmdb7_test {

// Replaces the lists and the create date of db with generation g (g >= 1).
void FillGeneration(LKMDB7::CDatabaseObj7& db, int generation);

// The generation that db holds exactly; -1 when its content is not one of them.
int GenerationOf(LKMDB7::CDatabaseObj7& db);

// Loads the file at path with a fresh object and answers GenerationOf; 0 for a missing file (an
// empty database), -1 for content that is no generation. A load that fails raises, as Load does.
int GenerationOnDisk(const std::string& path);

// A database file older than the current layout (version 8): a crib, a create date, empty lists.
std::vector<unsigned char> VersionEightFile();

}  // namespace lkmdb7_test
