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
    CFile probe;
    CFileException error(CFileException::none, -1, "", "");
    if (!probe.Open(path, CFile::modeWrite | CFile::modeNoTruncate | CFile::shareDenyNone, &error)) {
        return CodeOf(error);
    }
    probe.Abort();
    return 0;
}

LONG WriteThroughTemporary(const CString& path, const std::function<void(CFile&)>& fill) {
    if (const LONG code = CheckWritable(path); code != 0) {
        return code;
    }
    const CString temporary = path + kSavingSuffix;
    CFile file;
    CFileException error(CFileException::none, -1, "", "");
    if (!file.Open(temporary, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error)) {
        return CodeOf(error);
    }
    LONG result = 0;
    try {
        fill(file);
        file.Flush();
        file.Close();
    } catch (const CFileException& e) {
        result = CodeOf(e);
    } catch (const CException&) {
        result = -1;
    } catch (const std::bad_alloc&) {
        result = -1;
    }
    if (result != 0) {
        file.Abort();
        (void)DeleteFileA(temporary);
        return result;
    }
    if (PathExists(path)) {
        (void)GetFileSystem().CopyPermissions(path, temporary);
    }
    // The rename also makes the new name durable (the folder is flushed).
    if (!GetFileSystem().MoveFileReplace(temporary, path)) {
        const auto code = static_cast<LONG>(GetLastError());
        (void)DeleteFileA(temporary);
        return code != 0 ? code : static_cast<LONG>(ERROR_GEN_FAILURE);
    }
    return 0;
}

}  // namespace

LONG WriteFileSafely(const CString& path, const std::function<void(CArchive&)>& write) {
    try {
        return WriteThroughTemporary(path, [&](CFile& file) {
            CArchive ar(&file, CArchive::store);
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
        CFile source;
        CFileException error(CFileException::none, -1, "", "");
        if (!source.Open(from, CFile::modeRead | CFile::shareDenyWrite, &error)) {
            return CodeOf(error);
        }
        return WriteThroughTemporary(to, [&](CFile& file) {
            std::vector<BYTE> buffer(64 * 1024);
            for (;;) {
                const UINT n = source.Read(buffer.data(), static_cast<UINT>(buffer.size()));
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
