// The per-run context that every command gets: its streams, the environment, and where the
// record cipher's password comes from.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/Lkmdb.h"

namespace lkmdb {

// Where the record cipher's password comes from; at most one is set.
struct PasswordSource {
    std::string file;
    bool fromStdin = false;
    bool ask = false;
};

struct Context {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    const Environment& env;
    PasswordSource password;
    bool passwordGiven = false;   // set once the cipher has been keyed
    std::string passwordBytes;    // the key in Windows-1252 while it is in force
    bool toldOfLockWait = false;  // the lock wait's line is written once a run
    // --save-in-place: where a copy of the file goes before it is written in place, in a folder
    // that refuses new files; empty refuses such saves.
    std::string inPlaceCopyFolder;

    void Note(const std::string& line) const;
};

}  // namespace lkmdb
