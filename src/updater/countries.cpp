#include "updater/countries.h"

#include <nlohmann/json.hpp>

namespace vistrelle::updater {

bool CountryNames::load(std::string_view json, std::string* error) {
    nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("3166-1") ||
        !document["3166-1"].is_array()) {
        if (error != nullptr) {
            *error = "The ISO 3166 country list could not be read.";
        }
        return false;
    }
    for (const nlohmann::json& country : document["3166-1"]) {
        if (!country.is_object()) {
            continue;
        }
        auto code = country.find("alpha_2");
        // The common name where the standard's short name is a formal one ("South Korea"
        // rather than "Korea, Republic of").
        auto name = country.find("common_name");
        if (name == country.end() || !name->is_string()) {
            name = country.find("name");
        }
        if (code != country.end() && code->is_string() && name != country.end() &&
            name->is_string()) {
            add(code->get<std::string>(), name->get<std::string>());
        }
    }
    if (names_.empty() && error != nullptr) {
        *error = "The ISO 3166 country list holds no countries.";
    }
    return !names_.empty();
}

void CountryNames::add(std::string_view code, std::string_view name) {
    std::string key(code);
    for (char& c : key) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    names_[key] = std::string(name);
}

std::string_view CountryNames::countryOf(std::string_view code) const {
    code = code.substr(0, code.find_first_of(";,"));
    while (!code.empty() && (code.front() == ' ' || code.front() == '\t')) {
        code.remove_prefix(1);
    }
    while (!code.empty() && (code.back() == ' ' || code.back() == '\t')) {
        code.remove_suffix(1);
    }
    if (code.size() != 2) {
        return kInternational;
    }
    std::string key(code);
    for (char& c : key) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (key == "UK") {
        key = "GB";
    }
    if (auto found = names_.find(key); found != names_.end()) {
        return found->second;
    }
    // Kosovo's code is assigned by its users rather than the standard, and iso-codes lacks it.
    return key == "XK" ? kKosovo : kInternational;
}

}  // namespace vistrelle::updater
