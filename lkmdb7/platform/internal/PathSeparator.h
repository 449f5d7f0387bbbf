// The separator of folder and file names on this platform. Paths handed to the file system use it;
// texts that may come from the other platform are parsed for both (see foundation/PathUtils.h).
#pragma once

namespace LKMDB7 {

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace LKMDB7
