#include "lkmdb7/database/SafeFile.h"

#include <new>
#include <vector>

#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/FileSystem.h"
#include "lkmdb7/platform/SystemError.h"

namespace LKMDB7 {

namespace {

LONG CodeOf(const CFileException& error) {
    return error.m_lOsError > 0 ? error.m_lOsError : static_cast<LONG>(ERROR_GEN_FAILURE);
}

// A target that exists must be writable, as saving in place would need.
LONG CheckWritable(const CString& path) {
    if (!PathExists(path)) {
        return 0;
    }
    CFileException error(CFileException::none, -1, "", "");
    const auto probe =
        OpenFile(path, CFile::modeWrite | CFile::modeNoTruncate | CFile::shareDenyNone, &error);
    if (!probe) {
        return CodeOf(error);
    }
    probe->Abort();
    return 0;
}

// The code of a failed file system call. Running out of memory there is no fault of the file
// and is reported as any exhausted memory while saving is: -1.
LONG LastErrorOr(LONG fallback) {
    const auto code = static_cast<LONG>(GetLastError());
    if (code == static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY)) {
        return -1;
    }
    return code != 0 ? code : fallback;
}

LONG WriteThroughTemporary(const CString& path, const std::function<void(CFile&)>& fill) {
    if (const LONG code = CheckWritable(path); code != 0) {
        return code;
    }
    const CString temporary = path + kSavingSuffix;
    // A temporary left behind by a killed save may carry any permission bits, even read-only
    // ones; reusing it would hand them to the new file or make every later save fail.
    if (PathExists(temporary) && !DeleteFileA(temporary)) {
        return LastErrorOr(static_cast<LONG>(ERROR_ACCESS_DENIED));
    }
    CFileException error(CFileException::none, -1, "", "");
    const auto file =
        OpenFile(temporary, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error);
    if (!file) {
        return CodeOf(error);
    }
    LONG result = 0;
    try {
        fill(*file);
        file->Flush();
        file->Close();
    } catch (const CFileException& e) {
        result = CodeOf(e);
    } catch (const CException&) {
        result = -1;
    } catch (const std::bad_alloc&) {
        result = -1;
    }
    if (result != 0) {
        file->Abort();
        (void)DeleteFileA(temporary);
        return result;
    }
    // The new file keeps the bits the user gave the old one; a failure to copy them is an error
    // of the file system like any other and keeps the old file.
    // Reported as failed also when only the flush of the folder after the rename failed: the new
    // file is then complete under its name, but whether the name survives a power cut is unknown.
    if ((PathExists(path) && !CopyPermissions(path, temporary)) ||
        !MoveFileReplace(temporary, path)) {
        const LONG code = LastErrorOr(static_cast<LONG>(ERROR_GEN_FAILURE));
        if (PathExists(temporary)) {
            (void)DeleteFileA(temporary);
        }
        return code;
    }
    return 0;
}

}  // namespace

LONG WriteFileSafely(const CString& path, const std::function<void(CArchive&)>& write) {
    try {
        return WriteThroughTemporary(path, [&](CFile& file) {
            CArchive ar(&file, CArchive::store, kFileBufferSize);
            ar.SetName(path);
            write(ar);
            ar.Close();
        });
    } catch (const CException&) {
        return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

LONG CopyFileSafely(const CString& from, const CString& to) {
    try {
        CFileException error(CFileException::none, -1, "", "");
        const auto source = OpenFile(from, CFile::modeRead | CFile::shareDenyWrite, &error);
        if (!source) {
            return CodeOf(error);
        }
        return WriteThroughTemporary(to, [&](CFile& file) {
            std::vector<BYTE> buffer(64 * 1024);
            for (;;) {
                const UINT n = source->Read(buffer.data(), static_cast<UINT>(buffer.size()));
                if (n == 0) {
                    break;
                }
                file.Write(buffer.data(), n);
            }
        });
    } catch (const CException&) {
        return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

}  // namespace LKMDB7
