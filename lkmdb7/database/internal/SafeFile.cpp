#include "lkmdb7/database/internal/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <new>
#include <random>
#include <string_view>
#include <vector>

#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/CMemFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace LKMDB7 {

namespace {

// Names already taken are skipped; this many in a row means something is wrong with the folder.
constexpr int kNameAttempts = 32;

DWORD CodeOf(const CFileException& error) {
    return error.m_lOsError > 0 ? static_cast<DWORD>(error.m_lOsError) : ERROR_GEN_FAILURE;
}

// The code of a failed file system call, never 0.
DWORD LastErrorOr(DWORD fallback) {
    const DWORD code = GetLastError();
    return code != 0 ? code : fallback;
}

CString Because(const CString& path, const char* what, DWORD code) {
    CString text;
    text.Format("%s: %s (%s)", static_cast<const char*>(path), what, DescribeError(code));
    return text;
}

// A status for a failed file system call; running out of memory there is no fault of the file.
CDatabaseStatus SystemFailure(bool opening, const CString& path, const char* what, DWORD code) {
    if (code == ERROR_NOT_ENOUGH_MEMORY) {
        return CDatabaseStatus::OutOfMemory();
    }
    return opening ? CDatabaseStatus::CannotOpen(code, Because(path, what, code))
                   : CDatabaseStatus::WriteFailed(code, Because(path, what, code));
}

// What a fill callback that raised means for the caller.
CDatabaseStatus FromException(const CException& e) {
    if (const auto* file = dynamic_cast<const CFileException*>(&e)) {
        return CDatabaseStatus::WriteFailed(CodeOf(*file), e.what());
    }
    if (dynamic_cast<const CMemoryException*>(&e) != nullptr) {
        return CDatabaseStatus::OutOfMemory();
    }
    return CDatabaseStatus::Failure(CDatabaseStatus::kFormat, e.what());
}

// Runs fn and turns whatever it raises into a status.
template <typename Fn>
CDatabaseStatus Guarded(Fn fn) {
    try {
        return fn();
    } catch (const CException& e) {
        try {
            return FromException(e);
        } catch (const std::bad_alloc&) {
            return CDatabaseStatus::OutOfMemory();
        } catch (const CMemoryException&) {
            return CDatabaseStatus::OutOfMemory();
        }
    } catch (const std::bad_alloc&) {
        return CDatabaseStatus::OutOfMemory();
    }
}

// Eight hex digits that differ between saves. Only a guess at a free name: the exclusive create
// is what makes the name ours.
CString UniqueTag() {
    static std::atomic<std::uint32_t> counter{0};
    thread_local std::mt19937 draw(static_cast<std::uint32_t>(
        static_cast<std::uintptr_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        reinterpret_cast<std::uintptr_t>(&counter)));
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(draw() ^ counter++));
    return tag;
}

// Whether name is "<file>.<8 hex digits><suffix>".
bool IsTaggedName(std::string_view name, std::string_view file, std::string_view suffix) {
    if (name.size() != file.size() + 1 + 8 + suffix.size() || !name.starts_with(file) ||
        name[file.size()] != '.' || !name.ends_with(suffix)) {
        return false;
    }
    const std::string_view tag = name.substr(file.size() + 1, 8);
    return std::all_of(tag.begin(), tag.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Whether name is "<file>.<8 hex digits>.saving": a temporary of a save of that file.
bool IsTemporaryOf(const CString& name, const CString& file) {
    return IsTaggedName(name.str(), file.str(), kSavingSuffix);
}

// Whether name is the temporary of a copy of file kept before a write in place,
// "<file>.<8 hex digits>.before-save.<8 hex digits>.saving".
bool IsTemporaryOfACopyOf(const CString& name, const CString& file) {
    const std::string_view n = name.str();
    const std::size_t tail = 1 + 8 + std::string_view(kSavingSuffix).size();
    if (n.size() <= tail) {
        return false;
    }
    const std::string_view copy = n.substr(0, n.size() - tail);
    return IsTaggedName(n, copy, kSavingSuffix) &&
           IsTaggedName(copy, file.str(), kBeforeSaveSuffix);
}

// Removes from folder the temporaries that killed saves left, those of file that `isLeftover`
// picks. Saves hold the user's database lock, so no other save is using one; a link of that name
// is removed, never followed. A folder that cannot be listed or a leftover that cannot be
// removed is no reason to fail; exhausted memory is.
CDatabaseStatus RemoveLeftovers(const CString& folder, const CString& file,
                                bool (*isLeftover)(const CString&, const CString&)) {
    std::vector<CString> names;
    if (!ListFolder(folder.IsEmpty() ? CString(".") : folder, names)) {
        return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? CDatabaseStatus::OutOfMemory()
                                                         : CDatabaseStatus::Ok();
    }
    for (const CString& name : names) {
        if (isLeftover(name, file)) {
            (void)DeleteFileA(folder.IsEmpty() ? name : JoinPath(folder, name));
        }
    }
    return CDatabaseStatus::Ok();
}

// A target that exists must be writable, as saving in place would need.
CDatabaseStatus CheckWritable(const CString& path) {
    CFileException error(CFileException::none, -1, "", "");
    const auto probe =
        OpenFile(path, CFile::modeWrite | CFile::modeNoTruncate | CFile::shareDenyNone, &error);
    if (!probe) {
        return SystemFailure(true, path, "cannot be written", CodeOf(error));
    }
    probe->Abort();
    return CDatabaseStatus::Ok();
}

using Fill = std::function<void(CFile&)>;

CDatabaseStatus WriteThroughTemporary(const CString& target, const CString& attributesFrom,
                                      bool mayWriteInPlace, const CString& inPlaceCopyFolder,
                                      const Fill& fill);

// A fill that writes what is left of source.
Fill CopyOf(CFile& source) {
    return [&source](CFile& file) {
        std::vector<BYTE> buffer(64 * 1024);
        for (;;) {
            const UINT n = source.Read(buffer.data(), static_cast<UINT>(buffer.size()));
            if (n == 0) {
                break;
            }
            file.Write(buffer.data(), n);
        }
    };
}

CString FolderToShow(const CString& path) {
    const CString folder = FolderOf(path);
    return folder.IsEmpty() ? CString(".") : folder;
}

// The same failure told in other words; the public result stays what it was.
CDatabaseStatus Retold(const CDatabaseStatus& status, const CString& message) {
    if (status.GetKind() != CDatabaseStatus::kIo) {
        return status;
    }
    return status.Result() == -1 ? CDatabaseStatus::WriteFailed(status.GetCode(), message)
                                 : CDatabaseStatus::CannotOpen(status.GetCode(), message);
}

CDatabaseStatus RefuseInPlace(const CString& target, DWORD code) {
    CString text;
    text.Format(
        "%s: cannot create a file beside %s (%s); not written: writing it in place could lose it "
        "in a crash",
        static_cast<const char*>(FolderToShow(target)),
        static_cast<const char*>(FileNameOf(target)), DescribeError(code));
    return CDatabaseStatus::CannotOpen(code, text);
}

// Writes and flushes a complete copy of target into folder, under a name of its own there.
CDatabaseStatus KeepCopy(const CString& target, const CString& folder, CString& copy) {
    if (!FolderExists(folder)) {
        return CDatabaseStatus::CannotOpen(
            ERROR_PATH_NOT_FOUND,
            Because(folder, "the folder for the copy kept while writing in place is missing",
                    ERROR_PATH_NOT_FOUND));
    }
    const CString name = FileNameOf(target);
    // Copies themselves are never removed here: one left behind may be all that is left of a file.
    if (CDatabaseStatus cleaned = RemoveLeftovers(folder, name, IsTemporaryOfACopyOf);
        !cleaned.IsOk()) {
        return cleaned;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        copy = JoinPath(folder, name + "." + UniqueTag() + kBeforeSaveSuffix);
        if (!PathExists(copy)) {
            break;
        }
    }
    if (PathExists(copy)) {
        return SystemFailure(true, copy, "no free name for the copy", ERROR_FILE_EXISTS);
    }
    CFileException error(CFileException::none, -1, "", "");
    const auto source = OpenFile(target, CFile::modeRead | CFile::shareDenyWrite, &error);
    if (!source) {
        return SystemFailure(true, target, "cannot be read", CodeOf(error));
    }
    CDatabaseStatus kept = WriteThroughTemporary(copy, target, false, CString(), CopyOf(*source));
    if (!kept.IsOk()) {
        if (PathExists(copy)) {
            (void)DeleteFileA(copy);
        }
        return Retold(kept, target +
                                ": not written in place, since no copy of it could be kept in " +
                                folder + " (" + kept.GetMessage() + ")");
    }
    return kept;
}

// Cuts target to length 0 and fills it; flushed when this returns. What the file raises passes
// through; `cut` tells whether the target was opened, and so cut.
CDatabaseStatus Overwrite(const CString& target, const Fill& fill, bool& cut) {
    cut = false;
    CFileException error(CFileException::none, -1, "", "");
    const auto file =
        OpenFile(target, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error);
    if (!file) {
        return SystemFailure(true, target, "cannot be written in place", CodeOf(error));
    }
    cut = true;
    fill(*file);
    file->Flush();
    file->Close();
    return CDatabaseStatus::Ok();
}

// For a folder that refuses new files, with a copy of the target kept elsewhere first. The new
// contents are made in memory, so that only a failing disk, not a failing callback, can reach
// the target, and then the copy puts it back.
CDatabaseStatus WriteInPlace(const CString& target, const CString& attributesFrom,
                             const CString& copyFolder, const Fill& fill) {
    return Guarded([&] {
        CMemFile contents;
        fill(contents);
        CString copy;
        if (CDatabaseStatus kept = KeepCopy(target, copyFolder, copy); !kept.IsOk()) {
            return kept;
        }
        bool cut = false;
        CDatabaseStatus written = Guarded([&] {
            if (attributesFrom != target && PathExists(attributesFrom) &&
                !CopyPermissions(attributesFrom, target)) {
                return SystemFailure(false, target, "cannot take the database's permissions",
                                     LastErrorOr(ERROR_ACCESS_DENIED));
            }
            return Overwrite(
                target,
                [&](CFile& file) {
                    const std::vector<BYTE>& bytes = contents.Data();
                    constexpr std::size_t kChunk = 1u << 20;
                    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
                        file.Write(bytes.data() + at,
                                   static_cast<UINT>(std::min(kChunk, bytes.size() - at)));
                    }
                },
                cut);
        });
        if (written.IsOk() || !cut) {
            // The copy is only a copy now; one left behind would be no loss.
            (void)DeleteFileA(copy);
            return written;
        }
        const DWORD code = written.GetCode() != 0 ? written.GetCode() : ERROR_GEN_FAILURE;
        CDatabaseStatus restored = Guarded([&] {
            CFileException error(CFileException::none, -1, "", "");
            const auto source = OpenFile(copy, CFile::modeRead | CFile::shareDenyWrite, &error);
            if (!source) {
                return SystemFailure(true, copy, "cannot be read", CodeOf(error));
            }
            bool ignored = false;
            return Overwrite(target, CopyOf(*source), ignored);
        });
        if (restored.IsOk()) {
            (void)DeleteFileA(copy);
            return CDatabaseStatus::WriteFailed(code, target + ": writing in place failed (" +
                                                          written.GetMessage() +
                                                          "); the file was put back as it was");
        }
        return CDatabaseStatus::WriteFailed(
            code, target + ": writing in place failed (" + written.GetMessage() +
                      "), and so did putting it back (" + restored.GetMessage() +
                      "); its previous contents are in " + copy);
    });
}

CDatabaseStatus WriteThroughTemporary(const CString& target, const CString& attributesFrom,
                                      bool mayWriteInPlace, const CString& inPlaceCopyFolder,
                                      const Fill& fill) {
    const bool exists = PathExists(target);
    if (exists) {
        if (CDatabaseStatus writable = CheckWritable(target); !writable.IsOk()) {
            return writable;
        }
    }
    if (CDatabaseStatus cleaned =
            RemoveLeftovers(FolderOf(target), FileNameOf(target), IsTemporaryOf);
        !cleaned.IsOk()) {
        return cleaned;
    }
    CString temporary;
    std::unique_ptr<CFile> file;
    for (int attempt = 0; !file; ++attempt) {
        temporary = target + "." + UniqueTag() + kSavingSuffix;
        CFileException error(CFileException::none, -1, "", "");
        file = OpenFile(temporary, CFile::modeCreateNew | CFile::modeWrite | CFile::shareExclusive,
                        &error);
        if (file) {
            break;
        }
        const DWORD code = CodeOf(error);
        if (code == ERROR_FILE_EXISTS && attempt + 1 < kNameAttempts) {
            continue;
        }
        if (code == ERROR_ACCESS_DENIED && exists && mayWriteInPlace) {
            return inPlaceCopyFolder.IsEmpty()
                       ? RefuseInPlace(target, code)
                       : WriteInPlace(target, attributesFrom, inPlaceCopyFolder, fill);
        }
        return SystemFailure(true, temporary, "the temporary file cannot be created", code);
    }
    CDatabaseStatus written = Guarded([&] {
        fill(*file);
        file->Flush();
        file->Close();
        return CDatabaseStatus::Ok();
    });
    if (!written.IsOk()) {
        file->Abort();
        (void)DeleteFileA(temporary);
        return written;
    }
    // The new file takes the owner and bits of the file it stands for before it gets its name,
    // so that it is never visible with others. When only the flush of the folder after the
    // rename fails, the new file is complete under its name, but whether the name survives a
    // power cut is unknown: a failure too.
    if (PathExists(attributesFrom) && !CopyPermissions(attributesFrom, temporary)) {
        const DWORD code = LastErrorOr(ERROR_ACCESS_DENIED);
        (void)DeleteFileA(temporary);
        return SystemFailure(false, temporary,
                             "cannot take the permissions of the file it replaces", code);
    }
    if (!MoveFileReplace(temporary, target)) {
        const DWORD code = LastErrorOr(ERROR_GEN_FAILURE);
        if (PathExists(temporary)) {
            (void)DeleteFileA(temporary);
        }
        return SystemFailure(false, target, "the new file could not take its name", code);
    }
    return CDatabaseStatus::Ok();
}

// The file behind a database path.
CDatabaseStatus Resolve(const CString& path, CString& real) {
    if (!ResolvePath(path, real)) {
        return SystemFailure(true, path, "is a symbolic link that leads nowhere",
                             LastErrorOr(ERROR_PATH_NOT_FOUND));
    }
    return CDatabaseStatus::Ok();
}

}  // namespace

CDatabaseStatus WriteFileSafely(const CString& path, const std::function<void(CArchive&)>& write,
                                const CString& inPlaceCopyFolder) {
    return Guarded([&] {
        CString target;
        if (CDatabaseStatus resolved = Resolve(path, target); !resolved.IsOk()) {
            return resolved;
        }
        return WriteThroughTemporary(target, target, true, inPlaceCopyFolder, [&](CFile& file) {
            CArchive ar(&file, CArchive::store, kFileBufferSize);
            ar.SetName(path);
            write(ar);
            ar.Close();
        });
    });
}

CDatabaseStatus CopyFileSafely(const CString& from, const CString& to, CopyTarget target,
                               const CString& inPlaceCopyFolder) {
    return Guarded([&] {
        CFileException error(CFileException::none, -1, "", "");
        const auto source = OpenFile(from, CFile::modeRead | CFile::shareDenyWrite, &error);
        if (!source) {
            return SystemFailure(true, from, "cannot be read", CodeOf(error));
        }
        const Fill copy = CopyOf(*source);
        if (target == CopyTarget::kDatabase) {
            CString real;
            if (CDatabaseStatus resolved = Resolve(to, real); !resolved.IsOk()) {
                return resolved;
            }
            return WriteThroughTemporary(real, real, true, inPlaceCopyFolder, copy);
        }
        // A link at the copy's name is replaced by the rename; writing in place would follow it.
        CString real;
        const bool isLink = ResolvePath(to, real) && real != to;
        return WriteThroughTemporary(to, from, !isLink, inPlaceCopyFolder, copy);
    });
}

}  // namespace LKMDB7
