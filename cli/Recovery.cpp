#include "cli/Recovery.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "cli/Integrity.h"
#include "cli/RangeCrc.h"
#include "cli/Text1252.h"
#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/platform/internal/ByteOrder.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

constexpr WORD kNewClassTag = 0xFFFF;
constexpr WORD kBigTag = 0x7FFF;
constexpr DWORD kBigClassFlag = 0x80000000u;
constexpr std::size_t kMaxClassName = 64;
// Most tries fail within a few bytes, so the archive need not read far ahead.
constexpr int kTryBuffer = 256;
// Crib, create date and version: what a header holds before its first field of varying length.
constexpr std::size_t kFixedHeader = kCribSize + 4 + 2;
// No item body is shorter, which bounds the class index that a plausible tag can name.
constexpr std::size_t kShortestItem = 48;

// The classes that lists hold; plain categories only in files older than version 5.
const std::array<CRuntimeClass*, 4>& ItemClasses() {
    static const std::array<CRuntimeClass*, 4> classes{
        LKMDB7_RUNTIME_CLASS(CRecord), LKMDB7_RUNTIME_CLASS(CCategory),
        LKMDB7_RUNTIME_CLASS(CTypeItem), LKMDB7_RUNTIME_CLASS(CCategoryItem)};
    return classes;
}

std::size_t ListOf(const CRuntimeClass* cls) {
    if (cls == LKMDB7_RUNTIME_CLASS(CRecord)) {
        return 0;
    }
    return cls == LKMDB7_RUNTIME_CLASS(CCategoryItem) ? 2 : 1;
}

const CRuntimeClass* ItemClassNamed(std::string_view name) {
    for (const CRuntimeClass* cls : ItemClasses()) {
        if (name == cls->m_lpszClassName) {
            return cls;
        }
    }
    return nullptr;
}

std::string At(std::size_t offset) {
    return " at byte " + std::to_string(offset);
}

// A file's bytes as an archive sees them, with `patch` laid in just before `bodyAt` over the tag
// that stood there. A fresh archive knows only the classes described to it, so a reference to a
// class described earlier in the file is replaced by that description; the body keeps its own
// offsets, and messages name the right bytes.
class PatchedBytes final : public CFile {
  public:
    PatchedBytes(const std::vector<BYTE>& bytes, std::vector<BYTE> patch, std::size_t bodyAt)
        : bytes_(bytes),
          patch_(std::move(patch)),
          patchAt_(bodyAt - patch_.size()),
          bodyAt_(bodyAt),
          pos_(patchAt_) {}

    bool Open(const char*, UINT, CFileException*) override { return false; }
    UINT Read(void* buffer, UINT count) override {
        auto* out = static_cast<BYTE*>(buffer);
        UINT done = 0;
        while (done < count && pos_ < bytes_.size()) {
            const bool inPatch = pos_ >= patchAt_ && pos_ < bodyAt_;
            const BYTE* from = inPatch ? patch_.data() + (pos_ - patchAt_) : bytes_.data() + pos_;
            const std::size_t stop = inPatch ? bodyAt_ : pos_ < patchAt_ ? patchAt_ : bytes_.size();
            const std::size_t run = std::min<std::size_t>(stop - pos_, count - done);
            std::memcpy(out + done, from, run);
            done += static_cast<UINT>(run);
            pos_ += run;
        }
        return done;
    }
    void Write(const void*, UINT) override { AfxThrowInvalidArgException("writing to read bytes"); }
    ULONGLONG Seek(LONGLONG offset, UINT from) override {
        const LONGLONG base = from == begin     ? 0
                              : from == current ? static_cast<LONGLONG>(pos_)
                                                : static_cast<LONGLONG>(bytes_.size());
        if (base + offset < 0) {
            AfxThrowFileException(CFileException::badSeek, -1, {});
        }
        pos_ = static_cast<std::size_t>(base + offset);
        return pos_;
    }
    ULONGLONG GetPosition() const override { return pos_; }
    ULONGLONG GetLength() const override { return bytes_.size(); }
    void Flush() override {}
    void Close() override {}
    void Abort() override {}

  private:
    const std::vector<BYTE>& bytes_;
    std::vector<BYTE> patch_;
    std::size_t patchAt_;
    std::size_t bodyAt_;
    std::size_t pos_;
};

std::vector<BYTE> Description(const CRuntimeClass* cls, UINT schema) {
    const std::size_t length = std::strlen(cls->m_lpszClassName);
    std::vector<BYTE> bytes(6 + length);
    PutLE16(bytes.data(), kNewClassTag);
    PutLE16(bytes.data() + 2, static_cast<WORD>(schema));
    PutLE16(bytes.data() + 4, static_cast<WORD>(length));
    std::memcpy(bytes.data() + 6, cls->m_lpszClassName, length);
    return bytes;
}

struct ClassEntry {
    const CRuntimeClass* cls;
    UINT schema;
    bool guessed = false;  // tied to its index by guessing, not by reading its description
};

struct Tag {
    std::size_t length;  // the tag's bytes, a new class's description included
    bool newClass;
    ClassEntry described;  // a new class
    DWORD index;           // a class reference
};

struct Found {
    std::unique_ptr<CBaseItem> item;
    const CRuntimeClass* cls;
    std::size_t end;
};

class Scanner {
  public:
    Scanner(const std::vector<BYTE>& bytes, const std::string& name, Recovery& out)
        : bytes_(bytes), name_(name), out_(out), cipher_(GetRecordCipher()) {}

    void Run() {
        ReadHeader();
        const WORD version = out_.headerSize > 0 ? out_.version : kCurrentVersion;
        defaultSchema_ = version;
        // The old packed forms take their number of texts from the class schema, which loading
        // sets to the file's version in the same way.
        for (CRuntimeClass* cls :
             {LKMDB7_RUNTIME_CLASS(CDatabaseObj7), LKMDB7_RUNTIME_CLASS(CBaseItem),
              LKMDB7_RUNTIME_CLASS(CCategory), LKMDB7_RUNTIME_CLASS(CCategoryItem),
              LKMDB7_RUNTIME_CLASS(CTypeItem), LKMDB7_RUNTIME_CLASS(CRecord)}) {
            cls->m_wSchema = kVersionableSchema | version;
        }
        std::size_t pos = out_.headerSize;
        std::string why = "the header does not read (" + out_.headerProblem + ")";
        // Bytes after the last list are not read, as loading does not read them.
        if (out_.headerSize > 0 && ReadFramed(pos, why)) {
            return;
        }
        // A damaged icon file name or reserved value misplaces the end of the header: then look
        // for the first item from the end of its fixed part on.
        const std::size_t from = out_.Recovered() == 0 ? std::min(pos, kFixedHeader) : pos;
        exact_ = out_.headerSize > 0 && from == pos;
        Scan(from, pos, why);
    }

  private:
    void ReadHeader() {
        PatchedBytes file(bytes_, {}, 0);
        try {
            CArchive ar(&file, CArchive::load);
            ar.SetName(CString(name_.c_str()));
            BYTE crib[kCribSize];
            ar.ReadExact(crib, sizeof crib, "crib");
            (void)ar.ReadDword("create date");
            const WORD version = ar.ReadWord("version");
            if (version >= 5) {
                (void)ar.ReadString("icon file name");
            }
            (void)ar.ReadWord("reserved word");
            (void)ar.ReadDword("reserved value 1");
            (void)ar.ReadDword("reserved value 2");
            out_.headerSize = static_cast<std::size_t>(ar.GetPosition());
            out_.version = version;
        } catch (const CMemoryException&) {
            throw;
        } catch (const std::exception& e) {
            out_.headerProblem = e.what();
        }
    }

    // The lists in their framing, as loading reads them; false at the first fault, with pos at
    // the count or the item that did not read.
    bool ReadFramed(std::size_t& pos, std::string& why) {
        static constexpr const char* kNames[] = {"record list", "types list", "category list"};
        // Files before version 5 have no category list.
        const std::size_t lists = out_.version < 5 ? 2 : kListCount;
        if (lists < kListCount) {
            out_.declared[2] = 0;
        }
        for (std::size_t list = 0; list < lists; ++list) {
            DWORD count = 0;
            std::size_t length = 0;
            if (!CountAt(pos, count, length)) {
                why = name_ + ": unexpected end of data" + At(pos) +
                      " while reading the count of the " + kNames[list];
                return false;
            }
            out_.declared[list] = count;
            pos += length;
            for (DWORD i = 0; i < count; ++i) {
                auto found = ItemAt(pos, false, &why);
                if (!found) {
                    return false;
                }
                pos = found->end;
                Keep(std::move(*found));
            }
        }
        return true;
    }

    // From pos on, after a fault at `fault`: every item that reads is kept, list counts are taken
    // where they stand before a list's first item, and the bytes between are reported as skipped.
    void Scan(std::size_t pos, std::size_t fault, std::string reason) {
        // A plain sentinel rather than std::optional: g++ 12 at -O3 warns falsely on the latter.
        constexpr std::size_t kNoGap = static_cast<std::size_t>(-1);
        std::size_t gap = fault;
        const auto close = [&](std::size_t at) {
            if (at < out_.headerSize) {
                out_.headerTrimmed = true;
            }
            if (gap != kNoGap && at > gap) {
                out_.skipped.push_back({gap, at, reason});
                exact_ = false;
            }
            gap = kNoGap;
        };
        while (pos < bytes_.size()) {
            std::string why;
            // Only the first fault of a gap is reported, so only it needs its words.
            if (auto found = ItemAt(pos, true, gap != kNoGap ? nullptr : &why)) {
                close(pos);
                pos = found->end;
                Keep(std::move(*found));
            } else if (auto end = FramingAt(pos)) {
                close(pos);
                pos = *end;
            } else {
                if (gap == kNoGap) {
                    gap = pos;
                    reason = why.empty() ? name_ + ": no item" + At(pos) : why;
                }
                ++pos;
            }
        }
        close(bytes_.size());
    }

    // List counts at pos: empty lists up to the end of the data, or counts followed by a list's
    // first item, which always describes its class (each list holds a class of its own). Keeps
    // that item and returns where it ends.
    std::optional<std::size_t> FramingAt(std::size_t pos) {
        std::size_t at = pos;
        std::size_t empty = 0;
        for (std::size_t n = 0; n < kListCount; ++n) {
            if (at == bytes_.size()) {
                if (empty == 0) {
                    return std::nullopt;
                }
                for (std::size_t list = kListCount - empty; list < kListCount; ++list) {
                    Declare(list, 0);
                }
                return at;
            }
            DWORD count = 0;
            std::size_t length = 0;
            if (!CountAt(at, count, length)) {
                return std::nullopt;
            }
            at += length;
            if (count == 0) {
                ++empty;
                continue;
            }
            const auto tag = TagAt(at, nullptr);
            if (!tag || !tag->newClass) {
                return std::nullopt;
            }
            auto found = ItemAt(at, true, nullptr);
            if (!found) {
                return std::nullopt;
            }
            const std::size_t list = ListOf(found->cls);
            out_.declared[list] = count;
            for (std::size_t k = 1; k <= empty && k <= list; ++k) {
                Declare(list - k, 0);
            }
            const std::size_t end = found->end;
            Keep(std::move(*found));
            return end;
        }
        return std::nullopt;
    }

    void Declare(std::size_t list, DWORD count) {
        if (!out_.declared[list]) {
            out_.declared[list] = count;
        }
    }

    bool CountAt(std::size_t at, DWORD& count, std::size_t& length) const {
        if (bytes_.size() - at < 2) {
            return false;
        }
        const WORD word = GetLE16(bytes_.data() + at);
        if (word != 0xFFFF) {
            count = word;
            length = 2;
            return true;
        }
        if (bytes_.size() - at < 6) {
            return false;
        }
        count = GetLE32(bytes_.data() + at + 2);
        length = 6;
        return true;
    }

    std::optional<Tag> TagAt(std::size_t at, std::string* why) const {
        const auto fail = [&](const std::string& what) -> std::optional<Tag> {
            if (why != nullptr) {
                *why = name_ + ": " + what + At(at);
            }
            return std::nullopt;
        };
        const std::size_t left = bytes_.size() - at;
        if (left < 2) {
            return fail("unexpected end of data");
        }
        const BYTE* p = bytes_.data() + at;
        const WORD word = GetLE16(p);
        if (word == kNewClassTag) {
            if (left < 6) {
                return fail("unexpected end of data");
            }
            const std::size_t length = GetLE16(p + 4);
            if (length >= kMaxClassName || left - 6 < length) {
                return fail("no class description");
            }
            const std::string name(reinterpret_cast<const char*>(p + 6), length);
            const CRuntimeClass* cls =
                name.find('\0') == std::string::npos ? ItemClassNamed(name) : nullptr;
            if (cls == nullptr) {
                return fail("no item class is named \"" + name + "\"");
            }
            return Tag{6 + length, true, {cls, GetLE16(p + 2)}, 0};
        }
        DWORD index = word & 0x7FFFu;
        std::size_t length = 2;
        if (word == kBigTag) {
            if (left < 6 || (GetLE32(p + 2) & kBigClassFlag) == 0) {
                return fail("no class tag");
            }
            index = GetLE32(p + 2) & ~kBigClassFlag;
            length = 6;
        } else if ((word & 0x8000u) == 0 || index == 0) {
            return fail("no class tag");
        }
        return Tag{length, false, {nullptr, 0}, index};
    }

    // The item whose tag is at `at`. While the index counter is exact a new class takes its
    // index; `guess` lets an index not read before be matched to a class by where the lists put
    // it (after a fault, when its description may have been lost).
    std::optional<Found> ItemAt(std::size_t at, bool guess, std::string* why) {
        const auto tag = TagAt(at, why);
        if (!tag) {
            return std::nullopt;
        }
        if (tag->newClass) {
            auto found = Try(at, *tag, tag->described, guess, why);
            if (found) {
                if (exact_) {
                    classes_[counter_++] = tag->described;
                } else {
                    described_[tag->described.cls] = tag->described.schema;
                }
                ++counter_;
            }
            return found;
        }
        std::vector<ClassEntry> candidates;
        if (const auto known = classes_.find(tag->index); known != classes_.end()) {
            candidates.push_back(known->second);
        } else if (guess) {
            candidates = Guesses(tag->index);
        }
        if (candidates.empty() && why != nullptr) {
            *why = name_ + ": class index " + std::to_string(tag->index) +
                   " names no class read before" + At(at);
        }
        for (ClassEntry& candidate : candidates) {
            if (auto found = Try(at, *tag, candidate, guess, why)) {
                classes_.emplace(tag->index, candidate);
                ++counter_;
                return found;
            }
        }
        return std::nullopt;
    }

    // Classes that a class index not read before may name: one not yet tied to an index, of a
    // list not before the last one read (lists come in order). Those at the index that the
    // archive gives a list's class, when the counts of the lists before are known, come alone:
    // 1 plus, for every earlier list that holds items, its count and its class.
    std::vector<ClassEntry> Guesses(DWORD index) const {
        std::vector<ClassEntry> guesses;
        std::vector<ClassEntry> placed;
        if (index > bytes_.size() / kShortestItem + kListCount) {
            return guesses;
        }
        for (const CRuntimeClass* cls : ItemClasses()) {
            // Record types are plain categories in files before version 5.
            if ((cls == LKMDB7_RUNTIME_CLASS(CTypeItem) && defaultSchema_ < 5) ||
                (cls == LKMDB7_RUNTIME_CLASS(CCategory) && defaultSchema_ >= 5)) {
                continue;
            }
            const std::size_t list = ListOf(cls);
            if (list < lastList_ ||
                std::any_of(classes_.begin(), classes_.end(), [&](const auto& entry) {
                    return entry.second.cls == cls && !entry.second.guessed;
                })) {
                continue;
            }
            const auto described = described_.find(cls);
            const ClassEntry entry{
                cls, described != described_.end() ? described->second : defaultSchema_, true};
            guesses.push_back(entry);
            if (ExpectedIndex(list) == index) {
                placed.push_back(entry);
            }
        }
        return placed.empty() ? guesses : placed;
    }

    std::optional<ULONGLONG> ExpectedIndex(std::size_t list) const {
        ULONGLONG index = 1;
        for (std::size_t earlier = 0; earlier < list; ++earlier) {
            if (!out_.declared[earlier]) {
                return std::nullopt;
            }
            if (*out_.declared[earlier] > 0) {
                index += ULONGLONG{*out_.declared[earlier]} + 1;
            }
        }
        return index;
    }

    // Reads one item at `at` as `entry`'s class. It counts only when its body reads to the end
    // and its packed record reads and, in the current form, passes its checksum. `strict`, for
    // items found by scanning, also wants the flags as this engine writes them, 0 or 1: in bytes
    // that are not an item a checksum alone matches too often, and the flags are checked first,
    // which spares reading a packed record of a random length.
    std::optional<Found> Try(std::size_t at, const Tag& tag, const ClassEntry& entry, bool strict,
                             std::string* why) {
        // Most candidates fail here, before an archive and an item are made: the packed record's
        // length must fit in what is left and hold the least that its form needs.
        const std::size_t lengthAt = at + tag.length;
        if (bytes_.size() - lengthAt < 4) {
            if (why != nullptr) {
                *why = name_ + ": unexpected end of data" + At(lengthAt) + " in an item";
            }
            return std::nullopt;
        }
        const UINT layout = entry.schema & 0xFFFFu;
        const std::size_t shortest = layout <= 2   ? 4
                                     : layout == 4 ? 6
                                                   : kPackedHeaderSize + kPackedTailSize;
        const std::size_t length = GetLE32(bytes_.data() + lengthAt);
        if (length < shortest || length > bytes_.size() - lengthAt - 4) {
            if (why != nullptr) {
                *why = name_ + ": a packed record of " + std::to_string(length) + " bytes" +
                       At(lengthAt) + " (" + std::to_string(bytes_.size() - lengthAt - 4) +
                       " bytes left)";
            }
            return std::nullopt;
        }
        if (strict && !FlagsPlausible(lengthAt + 4 + length, layout)) {
            if (why != nullptr) {
                *why = name_ + ": the item" + At(at) + " has flags other than 0 and 1";
            }
            return std::nullopt;
        }
        // The checksum is checked from prefix sums, without reading the record: reading it at
        // every candidate would make the scan quadratic in the file size.
        if (ChecksumsApply(layout)) {
            const std::size_t record = lengthAt + 4;
            const auto stored = static_cast<WORD>((bytes_[record] << 8) | bytes_[record + 1]);
            const WORD computed = PackedChecksum(record, length);
            if (computed != stored) {
                ++out_.failedChecksums;
                if (why != nullptr) {
                    *why = name_ + ": the item" + At(at) + " has a bad packed record: checksum " +
                           Hex4(stored) + " stored, " + Hex4(computed) +
                           " computed (a damaged item, or a wrong or missing password)";
                }
                return std::nullopt;
            }
        }
        out_.triedBytes += length;
        std::vector<BYTE> patch;
        std::size_t bodyAt = at;
        if (!tag.newClass) {
            patch = Description(entry.cls, entry.schema);
            bodyAt = at + tag.length;
            if (bodyAt < patch.size()) {
                return std::nullopt;  // no item starts inside the header
            }
        }
        PatchedBytes file(bytes_, std::move(patch), bodyAt);
        try {
            CArchive ar(&file, CArchive::load, kTryBuffer);
            ar.SetName(CString(name_.c_str()));
            std::unique_ptr<CBaseItem> item(static_cast<CBaseItem*>(
                ar.ReadObject(LKMDB7_RUNTIME_CLASS(CBaseItem), "item").release()));
            if (ChecksumsApply(layout)) {
                if (const auto fault = ChecksumFault(*item)) {
                    ++out_.failedChecksums;
                    if (why != nullptr) {
                        *why = name_ + ": the item" + At(at) +
                               " has a bad packed record: " + *fault +
                               " (a damaged item, or a wrong or missing password)";
                    }
                    return std::nullopt;
                }
            }
            return Found{std::move(item), entry.cls, static_cast<std::size_t>(ar.GetPosition())};
        } catch (const CMemoryException&) {
            throw;
        } catch (const std::exception& e) {
            if (why != nullptr) {
                *why = e.what();
            }
            return std::nullopt;
        }
    }

    // What ChecksumFault computes for the packed record of `length` bytes at `record` once it is
    // read and deciphered: the CRC of its first (length - 7) mod 65536 bytes, bytes 0-1 taken
    // as zero.
    WORD PackedChecksum(std::size_t record, std::size_t length) {
        const std::size_t covered = static_cast<WORD>(length - kPackedTailSize);
        BYTE head[kPackedHeaderSize];
        std::memcpy(head, bytes_.data() + record, sizeof head);
        head[0] = head[1] = 0;
        WORD crc = Crc16Bytes(head, std::min(covered, sizeof head), kPackedCrcInitial);
        if (covered <= sizeof head) {
            return crc;
        }
        // Loading deciphers the whole blocks of a 16-bit length from the header on.
        const std::size_t ciphered =
            cipher_ != nullptr
                ? static_cast<std::size_t>(static_cast<WORD>(length - kPackedHeaderSize)) & ~7U
                : 0;
        const std::size_t split = std::min(covered, kPackedHeaderSize + ciphered);
        if (split > kPackedHeaderSize) {
            crc = Deciphered((record + kPackedHeaderSize) % 8)
                      .Of(record + kPackedHeaderSize, record + split, crc);
        }
        if (covered > split) {
            crc = Plain().Of(record + split, record + covered, crc);
        }
        return crc;
    }

    const RangeCrc& Plain() {
        if (!plain_) {
            plain_ = std::make_unique<RangeCrc>(bytes_.data(), bytes_.size());
        }
        return *plain_;
    }

    // The file with every 8-byte block that starts at `alignment` modulo 8 deciphered.
    const RangeCrc& Deciphered(std::size_t alignment) {
        auto& crc = deciphered_[alignment];
        if (!crc) {
            std::vector<BYTE> copy = bytes_;
            if (alignment < copy.size()) {
                BlowfishCryptBytes(cipher_, copy.data() + alignment,
                                   (copy.size() - alignment) / 8 * 8, false);
            }
            crc = std::make_unique<RangeCrc>(copy.data(), copy.size());
        }
        return *crc;
    }

    static std::string Hex4(WORD value) {
        char text[8];
        std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
        return text;
    }

    // The needs-sync, deleted and cloud-sync words of a body whose packed record ends at
    // `afterRecord`, checked before the rest is read.
    bool FlagsPlausible(std::size_t afterRecord, UINT layout) const {
        const std::size_t needsSync = afterRecord + 4 + (layout >= 6 ? 12 : 0);
        const std::size_t cloudSync = needsSync + (layout <= 2 ? 6 : 4);
        if (cloudSync > bytes_.size() || bytes_.size() - cloudSync < 2) {
            return false;
        }
        for (std::size_t at : {needsSync, needsSync + 2, cloudSync}) {
            if (GetLE16(bytes_.data() + at) > 1) {
                return false;
            }
        }
        return true;
    }

    void Keep(Found found) {
        const std::size_t list = ListOf(found.cls);
        lastList_ = std::max(lastList_, list);
        std::unique_ptr<CBaseItem> item = std::move(found.item);
        if (found.cls == LKMDB7_RUNTIME_CLASS(CCategory)) {
            // As loading does: an old file's plain categories are its record types, and one
            // without an identifier is dropped.
            auto& old = static_cast<CCategory&>(*item);
            if (old.GetUniqueID().IsNull()) {
                return;
            }
            item = std::make_unique<CTypeItem>(old);
        }
        out_.items[list].push_back(std::move(item));
    }

    const std::vector<BYTE>& bytes_;
    const std::string& name_;
    Recovery& out_;
    UINT defaultSchema_ = kCurrentVersion;
    std::map<DWORD, ClassEntry> classes_;             // class index -> class, as read
    std::map<const CRuntimeClass*, UINT> described_;  // classes described after a fault
    // The archive's next index; exact until bytes are skipped, as they may hold any number of
    // objects.
    DWORD counter_ = 1;
    bool exact_ = true;
    std::size_t lastList_ = 0;
    const BlowfishKey* cipher_;
    std::unique_ptr<RangeCrc> plain_;
    std::array<std::unique_ptr<RangeCrc>, 8> deciphered_;
};

}  // namespace

std::size_t Recovery::Recovered() const {
    std::size_t n = 0;
    for (const auto& list : items) {
        n += list.size();
    }
    return n;
}

bool Recovery::Complete() const {
    if (headerSize == 0 || headerTrimmed || !skipped.empty()) {
        return false;
    }
    for (std::size_t list = 0; list < kListCount; ++list) {
        if (!declared[list] || *declared[list] != items[list].size() || !dropped[list].empty()) {
            return false;
        }
    }
    return true;
}

Recovery RecoverItems(const std::vector<BYTE>& bytes, const std::string& name) {
    Recovery recovery;
    Scanner(bytes, name, recovery).Run();
    // Damaged bytes can read as an item carrying another's unique ID; the first one stays.
    // Items from elsewhere may be too long to pack again; keeping them would fail the save.
    static constexpr const char* kKinds[] = {"record", "record type", "category"};
    for (std::size_t list = 0; list < kListCount; ++list) {
        auto& items = recovery.items[list];
        std::set<std::string> seen;
        std::vector<std::unique_ptr<CBaseItem>> kept;
        for (auto& item : items) {
            try {
                static_cast<void>(item->CheckPackedSize());
            } catch (const CInvalidArgException& e) {
                recovery.dropped[list].push_back(std::string(e.what()) + "; dropped");
                continue;
            }
            const std::string id = item->GetUniqueID().ToHex().str();
            // Records carry their type's identifier there: only types and categories are keyed.
            if (list == 0 || seen.insert(id).second) {
                kept.push_back(std::move(item));
            } else {
                recovery.dropped[list].push_back(
                    std::string(kKinds[list]) + " \"" + ToUtf8(item->GetName().str()) +
                    "\": its unique ID " + id + " is that of one read before; dropped");
            }
        }
        items = std::move(kept);
    }
    return recovery;
}

}  // namespace lkmdb
