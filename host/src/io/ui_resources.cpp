#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "host/text.h"
#include "host/ui_model.h"

namespace host::ui {

namespace {

using nlohmann::json;

bool kindOf(const std::string& name, ControlKind& kind) {
    static const std::pair<const char*, ControlKind> kinds[] = {{"button", ControlKind::Button},
                                                                {"checkbox", ControlKind::CheckBox},
                                                                {"radio", ControlKind::Radio},
                                                                {"edit", ControlKind::Edit},
                                                                {"static", ControlKind::Static},
                                                                {"combobox", ControlKind::ComboBox},
                                                                {"listbox", ControlKind::ListBox},
                                                                {"spinner", ControlKind::Spinner},
                                                                {"group", ControlKind::Group},
                                                                {"custom", ControlKind::Custom},
                                                                {"colorswatch", ControlKind::ColorSwatch}};
    for (auto& [n, k] : kinds)
        if (name == n) {
            kind = k;
            return true;
        }
    return false;
}

// The file's own strings first, then the table loaded before it.
struct StringLookup {
    const std::map<UINT, std::wstring>& own;

    UINT idOf(const json& value, const std::string& where) const {
        unsigned long id = value.get<unsigned long>();
        if (id == 0 || id > 0xFFFF) throw std::invalid_argument(where + ": string id " + std::to_string(id));
        return UINT(id);
    }
    const std::wstring& text(UINT id, const std::string& where) const {
        if (auto it = own.find(id); it != own.end()) return it->second;
        if (const std::wstring* s = findString(id)) return *s;
        throw std::invalid_argument(where + ": string " + std::to_string(id) + " is not in the string table");
    }
};

// A caption given either as text or as a string id, not both.
void readCaption(const json& j, const char* textKey, const char* idKey, const StringLookup& strings,
                 const std::string& where, std::wstring& text, UINT& id) {
    if (j.contains(textKey) && j.contains(idKey))
        throw std::invalid_argument(where + ": both " + textKey + " and " + idKey);
    if (j.contains(idKey)) {
        id = strings.idOf(j.at(idKey), where);
        text = strings.text(id, where);
    } else {
        text = fromUtf8(j.value(textKey, std::string()));
    }
}

ControlResource readControl(const json& c, const StringLookup& strings, const std::string& dialogWhere) {
    ControlResource control;
    control.id = c.at("id").get<int>();
    std::string where = dialogWhere + ": control " + std::to_string(control.id);
    std::string kind = c.at("kind").get<std::string>();
    if (!kindOf(kind, control.kind)) throw std::invalid_argument(dialogWhere + ": control kind " + kind);
    readCaption(c, "label", "labelId", strings, where, control.label, control.labelId);
    if (c.contains("items")) {
        if (control.kind != ControlKind::ComboBox && control.kind != ControlKind::ListBox)
            throw std::invalid_argument(where + ": items on a control that is no combo or list box");
        for (const auto& item : c.at("items")) {
            control.itemIds.push_back(strings.idOf(item, where));
            control.items.push_back(strings.text(control.itemIds.back(), where));
        }
    }
    if (c.contains("buddy")) {
        if (control.kind != ControlKind::Spinner) throw std::invalid_argument(where + ": a buddy on a non-spinner");
        control.buddy = c.at("buddy").get<int>();
    }
    control.image = c.value("image", 0);
    return control;
}

DialogResource readDialog(const json& d, const StringLookup& strings) {
    DialogResource dialog;
    dialog.id = d.at("id").get<int>();
    std::string where = "dialog " + std::to_string(dialog.id);
    readCaption(d, "title", "titleId", strings, where, dialog.title, dialog.titleId);
    std::set<int> ids;
    for (const auto& c : d.at("controls")) {
        ControlResource control = readControl(c, strings, where);
        if (control.id != kStaticId && !ids.insert(control.id).second)
            throw std::invalid_argument(where + ": control id " + std::to_string(control.id) + " repeated");
        dialog.controls.push_back(std::move(control));
    }
    // Buddies are checked once every control is known: the edit box may come after its spinner.
    for (const ControlResource& control : dialog.controls) {
        if (control.kind != ControlKind::Spinner || control.buddy == 0) continue;
        auto edit = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                                 [&](const ControlResource& c) { return c.id == control.buddy && c.id != kStaticId; });
        if (edit == dialog.controls.end() || edit->kind != ControlKind::Edit)
            throw std::invalid_argument(where + ": spinner " + std::to_string(control.id) + ": buddy " +
                                        std::to_string(control.buddy) + " is not an edit box of the dialog");
    }
    return dialog;
}

}  // namespace

bool loadResources(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "'" + path + "': cannot open";
        return false;
    }
    json doc = json::parse(file, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        error = "'" + path + "': not a JSON object";
        return false;
    }
    // Everything is checked before anything is added, so a bad file changes nothing.
    std::map<UINT, std::wstring> strings;
    std::vector<DialogResource> dialogs;
    try {
        if (doc.contains("strings"))
            for (auto& [key, text] : doc.at("strings").items()) {
                size_t used = 0;
                unsigned long id = std::stoul(key, &used);
                if (used != key.size() || id > 0xFFFF) throw std::invalid_argument("string id " + key);
                strings[UINT(id)] = fromUtf8(text.get<std::string>());
            }
        StringLookup lookup{strings};
        std::set<int> dialogIds;
        if (doc.contains("dialogs"))
            for (const auto& d : doc.at("dialogs")) {
                dialogs.push_back(readDialog(d, lookup));
                if (!dialogIds.insert(dialogs.back().id).second)
                    throw std::invalid_argument("dialog " + std::to_string(dialogs.back().id) + " repeated");
            }
    } catch (const std::exception& e) {
        error = "'" + path + "': bad entry: " + e.what();
        return false;
    }
    for (auto& [id, text] : strings) setString(id, std::move(text));
    for (auto& d : dialogs) addDialogResource(std::move(d));
    return true;
}

}  // namespace host::ui
