#include <fstream>
#include <nlohmann/json.hpp>

#include "host/text.h"
#include "host/ui_model.h"

namespace host::ui {

namespace {

bool kindOf(const std::string& name, ControlKind& kind) {
    static const std::pair<const char*, ControlKind> kinds[] = {
        {"button", ControlKind::Button},   {"checkbox", ControlKind::CheckBox}, {"radio", ControlKind::Radio},
        {"edit", ControlKind::Edit},       {"static", ControlKind::Static},     {"combobox", ControlKind::ComboBox},
        {"listbox", ControlKind::ListBox}, {"spinner", ControlKind::Spinner},   {"group", ControlKind::Group},
        {"custom", ControlKind::Custom}};
    for (auto& [n, k] : kinds)
        if (name == n) {
            kind = k;
            return true;
        }
    return false;
}

}  // namespace

bool loadResources(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "'" + path + "': cannot open";
        return false;
    }
    nlohmann::json doc = nlohmann::json::parse(file, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        error = "'" + path + "': not a JSON object";
        return false;
    }
    // Everything is checked before anything is added, so a bad file changes nothing.
    std::vector<std::pair<UINT, std::wstring>> strings;
    std::vector<DialogResource> dialogs;
    try {
        if (doc.contains("strings"))
            for (auto& [key, text] : doc.at("strings").items()) {
                size_t used = 0;
                unsigned long id = std::stoul(key, &used);
                if (used != key.size() || id > 0xFFFF) throw std::invalid_argument("string id " + key);
                strings.emplace_back(UINT(id), fromUtf8(text.get<std::string>()));
            }
        if (doc.contains("dialogs"))
            for (const auto& d : doc.at("dialogs")) {
                DialogResource dialog;
                dialog.id = d.at("id").get<int>();
                dialog.title = fromUtf8(d.value("title", std::string()));
                for (const auto& c : d.at("controls")) {
                    ControlResource control;
                    control.id = c.at("id").get<int>();
                    std::string kind = c.at("kind").get<std::string>();
                    if (!kindOf(kind, control.kind))
                        throw std::invalid_argument("dialog " + std::to_string(dialog.id) + ": control kind " + kind);
                    control.label = fromUtf8(c.value("label", std::string()));
                    dialog.controls.push_back(std::move(control));
                }
                dialogs.push_back(std::move(dialog));
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
