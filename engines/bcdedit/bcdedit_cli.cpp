#include "engines/bcdedit/bcdedit_cli.h"

#include <algorithm>
#include <vector>

#include "common/cmdline.h"
#include "engines/bcdstore/bcd_store.h"
#include "engines/bcdstore/store_file.h"
#include "engines/bcdstore/volume_identity.h"

namespace bcdedit {

namespace {

const char kDone[] = "The operation completed successfully.\r\n";

using engine::EqualsNoCase;

struct Failure {
    std::string text;
};

RunResult Fail(const std::string& text) {
    RunResult r;
    r.exitCode = kExitFailed;
    // No braces: a caller looking for an identifier between them must find none.
    std::string clean = text;
    std::replace(clean.begin(), clean.end(), '{', '(');
    std::replace(clean.begin(), clean.end(), '}', ')');
    r.output = clean + "\r\n";
    return r;
}

RunResult Done(const std::string& text = kDone) {
    RunResult r;
    r.output = text;
    return r;
}

struct WellKnown {
    const char* name;
    const char* id;
};
const WellKnown kWellKnown[] = {
    {"{bootmgr}", bcd::kBootMgrId},
    {"{globalsettings}", bcd::kGlobalSettingsId},
    {"{bootloadersettings}", bcd::kLoaderSettingsId},
};

// An identifier as stored, or empty when the text names no object of the store.
std::string Resolve(const bcd::Store& store, const std::string& text) {
    std::string id;
    for (const WellKnown& w : kWellKnown)
        if (EqualsNoCase(text, w.name)) id = w.id;
    if (EqualsNoCase(text, "{default}")) id = store.GetString(bcd::kBootMgrId, bcd::kElemDefault);
    std::array<uint8_t, 16> guid;
    if (id.empty() && bcd::ParseGuid(text, guid)) id = bcd::GuidString(guid);
    for (const std::string& stored : store.Objects())
        if (!id.empty() && bcd::EqualNoCase(stored, id)) return stored;
    return std::string();
}

std::string ShownId(const std::string& id) {
    for (const WellKnown& w : kWellKnown)
        if (bcd::EqualNoCase(id, w.id)) return w.name;
    return id;
}

class Session {
  public:
    Session(std::vector<std::string> args, std::string storePath)
        : args_(std::move(args)), path_(std::move(storePath)) {}

    RunResult Run() {
        if (args_.empty()) return Fail("No command was given. Run bcdedit /? for the commands.");
        const std::string command = engine::LowerAscii(args_[0]);
        if (command == "/?" || command == "/help") return Done(Usage());
        if (command == "/createstore") return CreateStore();
        if (path_.empty())
            return Fail(
                "The boot configuration data store could not be opened: no store was "
                "found; name one with /store.");
        std::vector<uint8_t> bytes;
        std::string why;
        if (!bcd::ReadStoreFile(path_, bytes, why) || !store_.Load(bytes, why))
            return Fail("The boot configuration data store could not be opened: " + why + ".");
        RunResult r;
        if (command == "/create")
            r = Create();
        else if (command == "/set")
            r = Set();
        else if (command == "/deletevalue")
            r = DeleteValue();
        else if (command == "/displayorder")
            r = ListCommand(bcd::kElemDisplayOrder);
        else if (command == "/bootsequence")
            r = ListCommand(bcd::kElemBootSequence);
        else if (command == "/default")
            r = Default();
        else if (command == "/timeout")
            r = Timeout();
        else if (command == "/delete")
            r = Delete();
        else if (command == "/enum")
            return Enum();
        else
            return Fail("The command " + args_[0] + " is not recognised.");
        if (r.exitCode != kExitOk) return r;
        if (!bcd::WriteStoreFile(path_, store_.Save(), why))
            return Fail("The boot configuration data store could not be written: " + why + ".");
        return r;
    }

  private:
    static std::string Usage() {
        return "bcdedit [/store <file>] /create [{id}] /d <description> /application "
               "bootsector|osloader\r\n"
               "        /set {id} <element> <value>   /deletevalue {id} <element>\r\n"
               "        /displayorder {id}... [/addlast|/addfirst|/remove]\r\n"
               "        /bootsequence {id}... [/addlast|/addfirst|/remove]\r\n"
               "        /default {id}   /timeout <seconds>   /delete {id} [/f]\r\n"
               "        /enum [all|active|{id}]   /createstore <file>\r\n";
    }

    RunResult CreateStore() {
        if (args_.size() != 2) return Fail("/createstore needs the file to create.");
        std::vector<uint8_t> existing;
        std::string why;
        if (bcd::ReadStoreFile(args_[1], existing, why))
            return Fail("The store " + args_[1] + " already exists.");
        if (!bcd::WriteStoreFile(args_[1], bcd::Store::Empty().Save(), why))
            return Fail("The store could not be created: " + why + ".");
        return Done();
    }

    RunResult Create() {
        std::string id, description, application;
        for (size_t i = 1; i < args_.size(); ++i) {
            const std::string& a = args_[i];
            if (EqualsNoCase(a, "/d") && i + 1 < args_.size()) {
                description = args_[++i];
            } else if (EqualsNoCase(a, "/application") && i + 1 < args_.size()) {
                application = engine::LowerAscii(args_[++i]);
            } else if (i == 1 && !a.empty() && a[0] == '{') {
                std::array<uint8_t, 16> guid;
                if (EqualsNoCase(a, "{bootmgr}")) {
                    id = bcd::kBootMgrId;
                    application = "bootmgr";
                } else if (bcd::ParseGuid(a, guid)) {
                    id = bcd::GuidString(guid);
                } else {
                    return Fail("The identifier " + a + " is not valid.");
                }
            } else {
                return Fail("The option " + a + " is not valid for /create.");
            }
        }
        uint32_t type = application == "bootmgr"      ? bcd::kTypeBootManager
                        : application == "bootsector" ? bcd::kTypeBootSector
                        : application == "osloader"   ? bcd::kTypeOsLoader
                                                      : 0;
        if (!type) return Fail("/create needs /application bootsector or /application osloader.");
        if (description.empty()) return Fail("/create needs a description (/d).");
        if (id.empty()) id = bcd::NewGuidString();
        if (store_.HasObject(id)) return Fail("An entry with that identifier already exists.");
        store_.CreateObject(id, type);
        store_.SetString(id, bcd::kElemDescription, description);
        return Done("The entry " + id + " was successfully created.\r\n");
    }

    bool Object(size_t index, std::string& id, RunResult& failure) {
        if (index >= args_.size()) {
            failure = Fail("An identifier is missing.");
            return false;
        }
        id = Resolve(store_, args_[index]);
        if (id.empty()) failure = Fail("The specified entry " + args_[index] + " was not found.");
        return !id.empty();
    }

    RunResult Set() {
        std::string id;
        RunResult failure;
        if (!Object(1, id, failure)) return failure;
        if (args_.size() != 4) return Fail("/set needs an identifier, an element and a value.");
        uint32_t type = bcd::ElementByName(args_[2]);
        const std::string& value = args_[3];
        switch (type ? bcd::ElementFormat(type) : 0) {
            case 1: {
                bcd::Device device;
                std::string why;
                if (EqualsNoCase(value, "boot")) {
                    device.kind = bcd::Device::Kind::Boot;
                } else if (engine::StartsWithNoCase(value, "partition=") && value.size() >= 12 &&
                           value[11] == ':') {
                    if (!bcd::IdentifyVolume(value.substr(10), device, why))
                        return Fail("The device " + value + " could not be set: " + why + ".");
                } else {
                    return Fail("The device " + value +
                                " is not recognised; use partition=C: or boot.");
                }
                store_.SetDevice(id, type, device);
                return Done();
            }
            case 2:
                store_.SetString(id, type, value);
                return Done();
            case 5:
                if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
                    return Fail("The value " + value + " is not a number.");
                store_.SetInteger(id, type, std::stoull(value));
                return Done();
        }
        return Fail("The element " + args_[2] + " cannot be set by this bcdedit.");
    }

    RunResult DeleteValue() {
        std::string id;
        RunResult failure;
        if (!Object(1, id, failure)) return failure;
        uint32_t type = args_.size() == 3 ? bcd::ElementByName(args_[2]) : 0;
        if (!type) return Fail("/deletevalue needs an identifier and an element name.");
        if (!store_.DeleteElement(id, type))
            return Fail("The element " + args_[2] + " is not set.");
        return Done();
    }

    RunResult ListCommand(uint32_t element) {
        std::vector<std::string> ids;
        std::string mode;
        for (size_t i = 1; i < args_.size(); ++i) {
            if (EqualsNoCase(args_[i], "/addlast") || EqualsNoCase(args_[i], "/addfirst") ||
                EqualsNoCase(args_[i], "/remove")) {
                if (!mode.empty())
                    return Fail("Only one of /addlast, /addfirst, /remove may be given.");
                mode = engine::LowerAscii(args_[i]);
                continue;
            }
            std::string id;
            RunResult failure;
            if (!Object(i, id, failure)) return failure;
            ids.push_back(id);
        }
        if (ids.empty()) return Fail("The list needs at least one identifier.");
        std::vector<std::string> list = store_.GetList(bcd::kBootMgrId, element);
        auto drop = [&](const std::string& id) {
            list.erase(
                std::remove_if(list.begin(), list.end(),
                               [&](const std::string& x) { return bcd::EqualNoCase(x, id); }),
                list.end());
        };
        if (!store_.HasObject(bcd::kBootMgrId)) return Fail("The store has no boot manager entry.");
        if (mode.empty()) {
            list = ids;
        } else if (mode == "/remove") {
            for (const std::string& id : ids) drop(id);
        } else {
            for (const std::string& id : ids) drop(id);
            list.insert(mode == "/addfirst" ? list.begin() : list.end(), ids.begin(), ids.end());
        }
        if (list.empty())
            store_.DeleteElement(bcd::kBootMgrId, element);
        else
            store_.SetList(bcd::kBootMgrId, element, list);
        return Done();
    }

    RunResult Default() {
        std::string id;
        RunResult failure;
        if (args_.size() != 2 || !Object(1, id, failure))
            return args_.size() != 2 ? Fail("/default needs one identifier.") : failure;
        if (!store_.HasObject(bcd::kBootMgrId)) return Fail("The store has no boot manager entry.");
        store_.SetString(bcd::kBootMgrId, bcd::kElemDefault, id);
        return Done();
    }

    RunResult Timeout() {
        if (args_.size() != 2 || args_[1].empty() ||
            args_[1].find_first_not_of("0123456789") != std::string::npos)
            return Fail("/timeout needs a number of seconds.");
        if (!store_.HasObject(bcd::kBootMgrId)) return Fail("The store has no boot manager entry.");
        store_.SetInteger(bcd::kBootMgrId, bcd::kElemTimeout, std::stoull(args_[1]));
        return Done();
    }

    RunResult Delete() {
        std::string id;
        RunResult failure;
        if (!Object(1, id, failure)) return failure;
        bool force = false, cleanup = true;
        for (size_t i = 2; i < args_.size(); ++i) {
            if (EqualsNoCase(args_[i], "/f"))
                force = true;
            else if (EqualsNoCase(args_[i], "/cleanup"))
                cleanup = true;
            else if (EqualsNoCase(args_[i], "/nocleanup"))
                cleanup = false;
            else
                return Fail("The option " + args_[i] + " is not valid for /delete.");
        }
        bool wellKnown = ShownId(id) != id;
        if (wellKnown && !force)
            return Fail("The entry " + ShownId(id) +
                        " is a well-known entry; add /f to delete it.");
        store_.DeleteObject(id);
        if (cleanup) store_.ForgetReferences(id);
        return Done();
    }

    std::string Describe(const std::string& id) {
        std::string heading = bcd::ObjectTypeName(store_.ObjectType(id));
        std::string text = "\r\n" + heading + "\r\n" + std::string(heading.size(), '-') + "\r\n";
        auto line = [&](const std::string& name, const std::string& value) {
            text +=
                name + std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') + value + "\r\n";
        };
        line("identifier", ShownId(id));
        std::vector<uint32_t> elements = store_.Elements(id);
        std::sort(elements.begin(), elements.end());
        for (uint32_t type : elements) {
            std::string name = bcd::ElementName(type);
            switch (bcd::ElementFormat(type)) {
                case 1:
                    line(name, bcd::DeviceText(store_.GetDevice(id, type)));
                    break;
                case 2:
                case 3:
                    line(name, ShownId(store_.GetString(id, type)));
                    break;
                case 4: {
                    std::vector<std::string> list = store_.GetList(id, type);
                    for (size_t i = 0; i < list.size(); ++i)
                        line(i == 0 ? name : std::string(), ShownId(list[i]));
                    break;
                }
                case 5:
                    line(name, std::to_string(store_.GetInteger(id, type)));
                    break;
                case 6:
                    line(name, store_.GetInteger(id, type) & 1 ? "Yes" : "No");
                    break;
                default:
                    line(name, "(binary)");
            }
        }
        return text;
    }

    RunResult Enum() {
        std::string which = args_.size() > 1 ? engine::LowerAscii(args_[1]) : "active";
        std::vector<std::string> ids;
        if (which == "all") {
            ids = store_.Objects();
        } else if (which == "active") {
            if (store_.HasObject(bcd::kBootMgrId)) ids.push_back(bcd::kBootMgrId);
            for (const std::string& id : store_.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder))
                if (!Resolve(store_, id).empty()) ids.push_back(Resolve(store_, id));
        } else {
            std::string id;
            RunResult failure;
            if (!Object(1, id, failure)) return failure;
            ids.push_back(id);
        }
        RunResult r;
        for (const std::string& id : ids) r.output += Describe(id);
        return r;
    }

    std::vector<std::string> args_;
    std::string path_;
    bcd::Store store_;
};

}  // namespace

RunResult RunBcdedit(const std::string& commandLine, const std::string& defaultStore) {
    std::vector<std::string> args = engine::SplitCommandLine(commandLine);
    args.erase(args.begin());
    std::string store = defaultStore;
    for (size_t i = 0; i < args.size(); ++i)
        if (EqualsNoCase(args[i], "/store")) {
            if (i + 1 >= args.size()) return Fail("/store needs the store file.");
            store = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            break;
        }
    return Session(std::move(args), store).Run();
}

}  // namespace bcdedit
