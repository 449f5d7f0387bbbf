// Whether a fuzz target took its input (loaded it, read it) or refused it as malformed. The
// replay of the seed corpora holds every seed to its name: a seed named "refused-..." must be
// refused and every other seed must be taken, so that a seed added to reach the paths behind a
// successful load fails the tests the moment it no longer loads.
#pragma once

namespace lkmdb7_fuzz {

// One flag per program (an inline function's static is shared by every file that includes it).
inline bool& InputRefused() {
    static bool refused = false;
    return refused;
}

// Called by a target on every path that rejects its input.
inline void Refuse() {
    InputRefused() = true;
}

// Whether this build has no reader for the input at all (a format compiled out on this
// platform): the replay then holds the seed to nothing.
inline bool& InputUnread() {
    static bool unread = false;
    return unread;
}

inline void Unread() {
    InputUnread() = true;
}

}  // namespace lkmdb7_fuzz
