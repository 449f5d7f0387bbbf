#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/Json.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

using nlohmann::json;

std::string Hex(const CUID& id) {
    return id.ToHex().str();
}

// Flags and stamps that every item has.
void AddCommon(json& out, const CBaseItem& item) {
    out["needsSync"] = item.NeedsSync();
    out["deleted"] = item.IsDeleted();
    out["cloudSync"] = item.getCloudSync();
    out["timeStamp"] = item.getTimeStamp();
    out["crc"] = item.GetCRC();
}

// The shared record shape, and what the file stores beneath it.
json StoredRecordJson(CDatabaseObj7& d, const CRecord& r) {
    json recordLabels = json::array();
    for (int i = 0; i < 10; ++i) {
        recordLabels.push_back(Shown(r.GetFieldLabelA(i)));
    }
    json out = RecordJson(d, r, Secrets::kRevealed);
    out["pkId"] = Hex(r.GetPKID());
    out["typeId"] = Hex(r.GetTypeID());
    out["categoryId"] = Hex(r.GetCategoryID());
    out["recordLabels"] = recordLabels;
    out["attachmentKey"] = Shown(r.GetAttachedFileEncryptionKey());
    AddCommon(out, r);
    return out;
}

json TypeJson(const CTypeItem& t) {
    json labels = json::array();
    for (int i = 0; i < 10; ++i) {
        labels.push_back(Shown(t.GetCustom(i)));
    }
    json columns = json::array();
    for (int i = 0; i < CShowColumns::kEntryCount; ++i) {
        const CColumnEntry& c = t.GetColumnInfo().GetEntry(i);
        columns.push_back({c.firstWord, c.secondWord, c.firstByte, c.secondByte});
    }
    json out = {{"recordId", t.GetRecordID()}, {"uniqueId", Hex(t.GetUniqueID())},
                {"name", Shown(t.GetName())},  {"labels", labels},
                {"mask", t.GetMaskBits()},     {"icon", t.GetIconIndex()}};
    AddCommon(out, t);
    out["columns"] = columns;
    return out;
}

json CategoryJson(const CCategoryItem& c) {
    json out = {{"recordId", c.GetRecordID()},
                {"uniqueId", Hex(c.GetUniqueID())},
                {"name", Shown(c.GetName())}};
    AddCommon(out, c);
    return out;
}

}  // namespace

namespace {

// The three lists as the dump shows them, checksums included.
json ListsJson(CDatabaseObj7& d) {
    json records = json::array();
    json types = json::array();
    json categories = json::array();
    for (CRecord& record : Items(d.GetRecordList())) {
        records.push_back(StoredRecordJson(d, record));
    }
    for (CTypeItem& type : Items(d.GetTypesList())) {
        types.push_back(TypeJson(type));
    }
    for (CCategoryItem& category : Items(d.GetCategoryList())) {
        categories.push_back(CategoryJson(category));
    }
    return {{"records", records}, {"types", types}, {"categories", categories}};
}

}  // namespace

json ItemsJson(CDatabaseObj7& d) {
    json all = ListsJson(d);
    for (auto& [name, list] : all.items()) {
        for (json& item : list) {
            item.erase("crc");
        }
    }
    return all;
}

void AddDump(CLI::App& app, Commands& commands) {
    auto path = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "dump", "The whole database as JSON, for scripts and tests");
    sub->add_option("PATH", *path, "database file or folder")->required();
    commands.Bind(sub, [path, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, *path, OpenDatabase::Mode::kRead);
        CDatabaseObj7& d = db.Db();
        unsigned char crib[kCribSize];
        d.GetCrib(crib);
        std::string cribHex;
        for (unsigned char b : crib) {
            static constexpr char kDigits[] = "0123456789abcdef";
            cribHex += kDigits[b >> 4];
            cribHex += kDigits[b & 0x0F];
        }
        json dump = JsonDocument();
        dump.update({{"version", db.FileVersion()},
                     {"createDate", d.GetPalmCreateDate()},
                     {"iconFile", Shown(d.GetIconFileName())},
                     {"hasPassword", d.IsEncrypted()},
                     {"crib", cribHex}});
        dump.update(ListsJson(d));
        WriteJson(ctx.out, dump);
        return kExitOk;
    });
}

}  // namespace lkmdb
