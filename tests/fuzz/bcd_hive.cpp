// The BCD store reader on untrusted hive files: a hive that parses is walked, read as
// a BCD store (objects, elements, devices), written back, and must parse again.
#include <cstdlib>
#include <string>
#include <vector>

#include "engines/bcdstore/bcd_store.h"
#include "engines/bcdstore/hive.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

void Walk(const bcd::HiveKey& key, int depth) {
    if (depth > 64) return;
    for (const bcd::HiveValue& v : key.values) {
        if (v.type == bcd::kRegSz) bcd::FromRegSz(v.data);
        if (v.type == bcd::kRegMultiSz) bcd::FromRegMultiSz(v.data);
    }
    for (const auto& sub : key.subkeys) Walk(*sub, depth + 1);
}

}  // namespace

SB_FUZZ_TARGET(bcd_hive) {
    std::vector<uint8_t> bytes(data, data + size);
    std::string error;
    bcd::Hive hive;
    if (hive.Parse(bytes, error)) {
        Walk(hive.root, 0);
        bcd::Hive again;
        if (!again.Parse(hive.Serialize(), error)) abort();  // what we write, we read
    }
    bcd::Store store;
    if (!store.Load(bytes, error)) return;
    for (const std::string& id : store.Objects()) {
        store.ObjectType(id);
        for (uint32_t type : store.Elements(id)) {
            switch (bcd::ElementFormat(type)) {
                case 1:
                    bcd::DeviceText(store.GetDevice(id, type));
                    break;
                case 2:
                    store.GetString(id, type);
                    break;
                case 3:
                case 4:
                    store.GetList(id, type);
                    break;
                default:
                    store.GetInteger(id, type);
                    break;
            }
        }
    }
}
