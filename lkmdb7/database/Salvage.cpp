#include "lkmdb7/database/Salvage.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/internal/RangeCrc.h"
#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/internal/ArchiveFormat.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace LKMDB7 {

namespace {

// Most tries fail within a few bytes, so the archive need not read far ahead.
constexpr int kTryBuffer = 256;
// No item body is shorter, which bounds the class index that a plausible tag can name.
constexpr std::size_t kShortestItem = 48;

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

// A file's bytes, read in place: an archive reads each candidate item from them. One 16-bit word
// may be read as another value.
class ByteView final : public CFile {
  public:
    explicit ByteView(const std::vector<BYTE>& bytes) : bytes_(bytes) {}

    void Patch(std::size_t at, WORD value) {
        patched_ = true;
        patchAt_ = at;
        patch_[0] = static_cast<BYTE>(value & 0xFF);
        patch_[1] = static_cast<BYTE>(value >> 8);
    }

    bool Open(const char*, UINT, CFileException*) override { return false; }
    UINT Read(void* buffer, UINT count) override {
        const std::size_t run =
            pos_ < bytes_.size() ? std::min<std::size_t>(bytes_.size() - pos_, count) : 0;
        if (run != 0) {
            std::memcpy(buffer, bytes_.data() + pos_, run);
            for (std::size_t i = 0; i < sizeof patch_ && patched_; ++i) {
                if (patchAt_ + i >= pos_ && patchAt_ + i < pos_ + run) {
                    static_cast<BYTE*>(buffer)[patchAt_ + i - pos_] = patch_[i];
                }
            }
        }
        pos_ += run;
        return static_cast<UINT>(run);
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
    std::size_t pos_ = 0;
    bool patched_ = false;
    std::size_t patchAt_ = 0;
    BYTE patch_[2] = {};
};

struct ClassEntry {
    const CRuntimeClass* cls;
    UINT schema;
    bool guessed = false;  // tied to its index by guessing, not by reading its description
    bool placed = false;   // guessed at the index that the lists give its class
};

struct Tag {
    std::size_t length;  // the tag's bytes, a new class's description included
    bool newClass;
    ClassEntry described;  // a new class
    DWORD index;           // a class reference
};

// How surely a found item's class is known, from least to most.
enum Standing {
    kGuessed,  // guessed from the classes its index may name
    kPlaced,   // guessed at the index that the lists give its class
    kRead      // from a description read in the bytes
};

struct Found {
    std::unique_ptr<CBaseItem> item;
    const CRuntimeClass* cls;
    std::size_t end;
    Standing standing = kRead;
};

// Whether the item is exactly its class's form as this engine writes it: the texts that the class
// reads from its deciphered packed record end where the random tail begins, and a record type's
// column block holds its 15 columns. An item's checksum holds whatever class its bytes are taken
// for; a record, a type and a category differ in how many texts they hold, except that before
// version 7 a record may hold as many as a type, which alone has a column block. The texts are
// read by an item of its own, so that the one kept is not touched.
bool FitsItsClass(const CBaseItem& item) {
    const CRuntimeClass* cls = item.GetRuntimeClass();
    if (cls == LKMDB7_RUNTIME_CLASS(CTypeItem) &&
        static_cast<const CTypeItem&>(item).GetColumnInfo().GetCount() !=
            CShowColumns::kEntryCount) {
        return false;
    }
    std::vector<BYTE> plain = item.PalmRecord();
    if (plain.size() < kPackedHeaderSize + kPackedTailSize) {
        return false;
    }
    const std::unique_ptr<CObject> made(cls->CreateObject());
    char* const begin = reinterpret_cast<char*>(plain.data());
    return static_cast<CBaseItem*>(made.get())->ReadPalmRecord(begin, plain.size()) ==
           begin + plain.size() - kPackedTailSize;
}

// The class that loading takes in each list: files before version 5 keep their record types as
// plain categories (of which record types and categories derive).
const CRuntimeClass* ClassOfList(std::size_t list, WORD version) {
    if (list == kRecordListIndex) {
        return LKMDB7_RUNTIME_CLASS(CRecord);
    }
    if (list == kTypesListIndex) {
        return version < kFirstVersionWithCategories ? LKMDB7_RUNTIME_CLASS(CCategory)
                                                     : LKMDB7_RUNTIME_CLASS(CTypeItem);
    }
    return LKMDB7_RUNTIME_CLASS(CCategoryItem);
}

class Scanner {
  public:
    Scanner(const std::vector<BYTE>& bytes, const std::string& name, SalvageResult& out)
        : bytes_(bytes), name_(name), out_(out), cipher_(GetRecordCipher()) {}

    void Run() {
        ReadHeader();
        const WORD version = out_.headerSize > 0 ? out_.header.version : kCurrentVersion;
        defaultSchema_ = version;
        // The old packed forms take their number of texts from the class schema, which loading
        // sets to the file's version in the same way.
        StampClassSchemas(version);
        std::size_t pos = out_.headerSize;
        std::string why = "the header does not read (" + out_.headerProblem + ")";
        // Bytes after the last list are not read, as loading does not read them.
        if (out_.headerSize > 0 && ReadFramed(pos, why)) {
            return;
        }
        // A damaged icon file name or reserved value misplaces the end of the header: then look
        // for the first item from the end of its fixed part on.
        const bool none = std::all_of(out_.items.begin(), out_.items.end(),
                                      [](const auto& items) { return items.empty(); });
        const std::size_t from = none ? std::min(pos, kHeaderFixedSize) : pos;
        exact_ = out_.headerSize > 0 && from == pos;
        Scan(from, pos, why);
    }

    // Per list, in the order of out_.items, how surely each item's class is known.
    const std::array<std::vector<Standing>, kListCount>& Standings() const { return standings_; }

  private:
    void ReadHeader() {
        ByteView file(bytes_);
        try {
            CArchive ar(&file, CArchive::load);
            ar.SetName(CString(name_.c_str()));
            out_.header = ReadDatabaseHeader(ar);
            out_.headerSize = static_cast<std::size_t>(ar.GetPosition());
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
        const std::size_t lists =
            out_.header.version < kFirstVersionWithCategories ? 2 : kListCount;
        if (lists < kListCount) {
            out_.declared[kCategoryListIndex] = 0;
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
                auto found = ItemAt(pos, false, &why, ClassOfList(list, out_.header.version));
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
                // Skipped bytes may have held classes and items: a description found after them
                // must not take the index that the counter gives.
                exact_ = false;
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
            const std::size_t list = ListOfItemClass(found->cls);
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
            if (left < kClassDescriptionHeader) {
                return fail("unexpected end of data");
            }
            const std::size_t length = GetLE16(p + 4);
            if (length >= kMaxClassName || left - kClassDescriptionHeader < length) {
                return fail("no class description");
            }
            const std::string name(reinterpret_cast<const char*>(p + kClassDescriptionHeader),
                                   length);
            const CRuntimeClass* cls =
                name.find('\0') == std::string::npos ? ItemClassNamed(name) : nullptr;
            if (cls == nullptr) {
                return fail("no item class is named \"" + name + "\"");
            }
            return Tag{
                kClassDescriptionHeader + length, true, {cls, GetLE16(p + kClassSchemaOffset)}, 0};
        }
        DWORD index = word & kSmallIndexMask;
        std::size_t length = 2;
        if (word == kBigTag) {
            if (left < 6 || (GetLE32(p + 2) & kBigClassFlag) == 0) {
                return fail("no class tag");
            }
            index = GetLE32(p + 2) & ~kBigClassFlag;
            length = 6;
        } else if ((word & kClassTagFlag) == 0) {
            return fail("no class tag");
        }
        if (index == 0) {
            return fail("no class tag");
        }
        return Tag{length, false, {nullptr, 0}, index};
    }

    // The item whose tag is at `at`. While the index counter is exact a new class takes its
    // index; `guess` lets an index not read before be matched to a class by where the lists put
    // it (after a fault, when its description may have been lost). `required`, in a list's
    // framing, is the class that loading takes there: another is a fault.
    std::optional<Found> ItemAt(std::size_t at, bool guess, std::string* why,
                                const CRuntimeClass* required = nullptr) {
        const auto tag = TagAt(at, why);
        if (!tag) {
            return std::nullopt;
        }
        const auto foreign = [&](const CRuntimeClass* cls) {
            if (required == nullptr || cls->IsDerivedFrom(required)) {
                return false;
            }
            if (why != nullptr) {
                *why = name_ + ": a " + cls->m_lpszClassName + " item" + At(at) + " where a " +
                       required->m_lpszClassName + " belongs";
            }
            return true;
        };
        if (tag->newClass) {
            if (foreign(tag->described.cls)) {
                return std::nullopt;
            }
            // Every class of a file is described with the file's version as its schema: another
            // schema is as likely a damaged word as meant (or the header's version is damaged),
            // and the item is read by both, strictly; an old packed form has no checksum to refuse
            // bytes that are not in it, so a schema of one comes last. In the lists' framing the
            // description is then taken as it stands, as loading takes it.
            struct Reading {
                ClassEntry entry;
                bool strict;
            };
            std::vector<Reading> readings = {{tag->described, guess}};
            if (tag->described.schema != defaultSchema_) {
                const bool verifiable = PackedRecordHasChecksum(tag->described.schema & 0xFFFFu);
                readings = {{tag->described, true}};
                readings.insert(verifiable ? readings.end() : readings.begin(),
                                {{tag->described.cls, defaultSchema_}, true});
                if (!guess && verifiable) {
                    readings.push_back({tag->described, false});
                }
            }
            for (const Reading& reading : readings) {
                if (auto found = Try(at, *tag, reading.entry, reading.strict, why)) {
                    if (exact_) {
                        classes_[counter_++] = reading.entry;
                    } else {
                        described_[reading.entry.cls] = reading.entry.schema;
                    }
                    ++counter_;
                    return found;
                }
            }
            return std::nullopt;
        }
        std::vector<ClassEntry> candidates;
        if (const auto known = classes_.find(tag->index); known != classes_.end()) {
            if (foreign(known->second.cls)) {
                return std::nullopt;
            }
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
                found->standing = !candidate.guessed ? kRead
                                  : candidate.placed ? kPlaced
                                                     : kGuessed;
                return found;
            }
        }
        return std::nullopt;
    }

    // Classes that a class index not read before may name: one not yet tied to an index, of a
    // list not before the last one read (lists come in order). Those at the index that the
    // archive gives a list's class, when the counts of the lists before are known, come first:
    // 1 plus, for every earlier list that holds items, its count and its class. The others follow,
    // since an index can be damaged as well: the item's layout decides.
    std::vector<ClassEntry> Guesses(DWORD index) const {
        std::vector<ClassEntry> guesses;
        if (index > bytes_.size() / kShortestItem + kListCount) {
            return guesses;
        }
        for (const CRuntimeClass* cls : ItemClasses()) {
            // Record types are plain categories in files before version 5.
            if ((cls == LKMDB7_RUNTIME_CLASS(CTypeItem) && defaultSchema_ < 5) ||
                (cls == LKMDB7_RUNTIME_CLASS(CCategory) && defaultSchema_ >= 5)) {
                continue;
            }
            const std::size_t list = ListOfItemClass(cls);
            if (list < lastList_ ||
                std::any_of(classes_.begin(), classes_.end(), [&](const auto& entry) {
                    return entry.second.cls == cls && !entry.second.guessed;
                })) {
                continue;
            }
            const auto described = described_.find(cls);
            guesses.push_back({cls,
                               described != described_.end() ? described->second : defaultSchema_,
                               true, ExpectedIndex(list) == index});
        }
        std::stable_partition(guesses.begin(), guesses.end(),
                              [](const ClassEntry& entry) { return entry.placed; });
        return guesses;
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
    // items found by scanning, also wants the flags as this engine writes them, 0 or 1, and a
    // current-form packed record that is its class's form exactly: in bytes that are not an item
    // a checksum alone matches too often, and an item's checksum holds whatever class its bytes
    // are taken for. The flags are checked first, which spares reading a packed record of a
    // random length.
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
        const std::size_t shortest = ShortestPackedRecord(layout);
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
        if (PackedRecordHasChecksum(layout)) {
            const std::size_t record = lengthAt + 4;
            const auto stored = static_cast<WORD>((bytes_[record] << 8) | bytes_[record + 1]);
            const WORD computed = PackedChecksum(record, length);
            if (computed != stored) {
                ++out_.failedChecksums;
                if (why != nullptr) {
                    *why = name_ + ": the item" + At(at) + " has a bad packed record: " +
                           DescribeChecksumMismatch(stored, computed) +
                           " (a damaged item, or a wrong or missing password)";
                }
                return std::nullopt;
            }
        }
        out_.triedBytes += length;
        // No item starts inside the header: a reference tag there stands in the crib, where the
        // description of its class could not have stood.
        if (!tag.newClass &&
            at + tag.length < kClassDescriptionHeader + std::strlen(entry.cls->m_lpszClassName)) {
            return std::nullopt;
        }
        ByteView file(bytes_);
        if (tag.newClass && entry.schema != tag.described.schema) {
            file.Patch(at + kClassSchemaOffset, static_cast<WORD>(entry.schema));
        }
        try {
            file.Seek(static_cast<LONGLONG>(at), CFile::begin);
            CArchive ar(&file, CArchive::load, kTryBuffer);
            ar.SetName(CString(name_.c_str()));
            if (!tag.newClass) {
                // A fresh archive knows only the classes described to it; this one was described
                // in bytes before.
                ar.DeclareClass(tag.index, entry.cls, entry.schema);
            }
            std::unique_ptr<CBaseItem> item(static_cast<CBaseItem*>(
                ar.ReadObject(LKMDB7_RUNTIME_CLASS(CBaseItem), "item").release()));
            if (PackedRecordHasChecksum(layout)) {
                if (const auto fault = PackedChecksumFault(item->PalmRecord())) {
                    ++out_.failedChecksums;
                    if (why != nullptr) {
                        *why = name_ + ": the item" + At(at) +
                               " has a bad packed record: " + *fault +
                               " (a damaged item, or a wrong or missing password)";
                    }
                    return std::nullopt;
                }
                if (strict && !FitsItsClass(*item)) {
                    if (why != nullptr) {
                        *why = name_ + ": the item" + At(at) + " is no " +
                               entry.cls->m_lpszClassName +
                               ": its packed record or its body is not in that class's form";
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
        WORD crc = PackedRecordCrc(head, std::min(covered, sizeof head));
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

    // The needs-sync, deleted and cloud-sync words of a body whose packed record ends at
    // `afterRecord`, checked before the rest is read.
    bool FlagsPlausible(std::size_t afterRecord, UINT layout) const {
        const ItemFlagOffsets flags = ItemBodyFlagOffsets(layout);
        const std::size_t cloudSync = afterRecord + flags.cloudSync;
        if (cloudSync > bytes_.size() || bytes_.size() - cloudSync < 2) {
            return false;
        }
        for (std::size_t at : {flags.needsSync, flags.deleted, flags.cloudSync}) {
            if (GetLE16(bytes_.data() + afterRecord + at) > 1) {
                return false;
            }
        }
        return true;
    }

    void Keep(Found found) {
        const std::size_t list = ListOfItemClass(found.cls);
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
        standings_[list].push_back(found.standing);
    }

    const std::vector<BYTE>& bytes_;
    const std::string& name_;
    SalvageResult& out_;
    std::array<std::vector<Standing>, kListCount> standings_;
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

// Per list, the distinct types and categories that the records name but that are not there.
std::array<std::size_t, kListCount> NamedButMissing(const SalvageResult& result) {
    std::array<std::set<std::string>, kListCount> present;
    std::array<std::set<std::string>, kListCount> named;
    for (const std::size_t list : {kTypesListIndex, kCategoryListIndex}) {
        for (const auto& item : result.items[list]) {
            present[list].insert(item->GetUniqueID().ToHex().str());
        }
    }
    for (const auto& item : result.items[kRecordListIndex]) {
        const auto& record = static_cast<const CRecord&>(*item);
        for (const auto& [list, id] : {std::pair{kTypesListIndex, record.GetTypeID()},
                                       std::pair{kCategoryListIndex, record.GetCategoryID()}}) {
            if (!id.IsNull() && present[list].count(id.ToHex().str()) == 0) {
                named[list].insert(id.ToHex().str());
            }
        }
    }
    return {0, named[kTypesListIndex].size(), named[kCategoryListIndex].size()};
}

}  // namespace

std::size_t SalvageResult::Recovered() const {
    std::size_t n = 0;
    for (const std::size_t count : recovered) {
        n += count;
    }
    return n;
}

bool SalvageResult::Complete() const {
    if (headerSize == 0 || headerTrimmed || !skipped.empty()) {
        return false;
    }
    for (std::size_t list = 0; list < kListCount; ++list) {
        if (!declared[list] || *declared[list] != recovered[list] || !dropped[list].empty()) {
            return false;
        }
    }
    return true;
}

void SalvageResult::InstallInto(CDatabaseObj7& db) {
    if (headerSize > 0) {
        db.SetHeader(header);
    }
    auto& records = items[kRecordListIndex];
    for (auto& item : records) {
        db.GetRecordList().AddItem(item.get());
        static_cast<void>(item.release());  // the list owns it now
    }
    records.clear();
    for (const std::size_t list : {kTypesListIndex, kCategoryListIndex}) {
        CUniqueList& unique = list == kTypesListIndex
                                  ? static_cast<CUniqueList&>(db.GetTypesList())
                                  : static_cast<CUniqueList&>(db.GetCategoryList());
        for (auto& item : items[list]) {
            unique.InsertSorted(item.get());
            static_cast<void>(item.release());
        }
        items[list].clear();
    }
}

SalvageResult SalvageDatabase(const std::vector<BYTE>& bytes, const std::string& name) {
    SalvageResult result;
    Scanner scanner(bytes, name, result);
    scanner.Run();
    if (result.headerSize > 0 && result.headerTrimmed) {
        // Only the fixed part is to be trusted.
        DatabaseHeader fixed;
        fixed.crib = result.header.crib;
        fixed.createDate = result.header.createDate;
        fixed.version = result.header.version;
        result.header = std::move(fixed);
    }
    // Damaged bytes can read as an item carrying another's unique ID. The one whose class is
    // known more surely stays (read, then guessed where its list puts it, then guessed
    // elsewhere), so that bytes taken for an item of another list never push out a real one;
    // else the first. Items from elsewhere may be too long to pack again; keeping them would fail
    // the save.
    for (std::size_t list = 0; list < kListCount; ++list) {
        auto& items = result.items[list];
        const std::vector<Standing>& standing = scanner.Standings()[list];
        std::vector<std::string> tooLong(items.size());
        // Records carry their type's identifier there: only types and categories are keyed.
        std::map<std::string, std::size_t> keeper;  // unique ID -> the item that keeps it
        for (std::size_t i = 0; i < items.size(); ++i) {
            try {
                static_cast<void>(items[i]->CheckPackedSize());
            } catch (const CInvalidArgException& e) {
                tooLong[i] = e.what();
                continue;
            }
            if (list != kRecordListIndex) {
                const auto [at, first] = keeper.emplace(items[i]->GetUniqueID().ToHex().str(), i);
                if (!first && standing[i] > standing[at->second]) {
                    at->second = i;
                }
            }
        }
        std::vector<std::unique_ptr<CBaseItem>> kept;
        for (std::size_t i = 0; i < items.size(); ++i) {
            auto& item = items[i];
            const std::string id = item->GetUniqueID().ToHex().str();
            if (!tooLong[i].empty()) {
                result.dropped[list].push_back(
                    {DroppedItem::kTooLong, item->GetName(), id, tooLong[i]});
            } else if (list == kRecordListIndex || keeper.at(id) == i) {
                kept.push_back(std::move(item));
            } else {
                result.dropped[list].push_back(
                    {DroppedItem::kDuplicateID, item->GetName(), id, {}});
            }
        }
        items = std::move(kept);
        result.recovered[list] = items.size();
    }
    result.namedButMissing = NamedButMissing(result);
    return result;
}

std::vector<BYTE> ReadWholeFile(const CString& path) {
    CFileException error(CFileException::none, -1, {}, {});
    const std::unique_ptr<CFile> in =
        OpenFile(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary, &error);
    if (!in) {
        const auto code = static_cast<DWORD>(error.m_lOsError);
        throw CFileException(error.m_cause, error.m_lOsError, path.str(),
                             path.str() + ": cannot be opened for reading (" +
                                 std::string(DescribeError(code)) + ")");
    }
    try {
        std::vector<BYTE> bytes(static_cast<std::size_t>(in->GetLength()));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const UINT n =
                in->Read(bytes.data() + done,
                         static_cast<UINT>(std::min<std::size_t>(bytes.size() - done, 1u << 20)));
            if (n == 0) {
                break;
            }
            done += n;
        }
        bytes.resize(done);
        in->Close();
        return bytes;
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

SalvageResult SalvageDatabaseFile(const CString& path) {
    try {
        return SalvageDatabase(ReadWholeFile(path), path.str());
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

}  // namespace LKMDB7
