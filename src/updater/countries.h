// English country names by ISO 3166 alpha-2 code, from the iso-codes JSON file.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace vistrelle::updater {

inline constexpr std::string_view kInternational = "International";
inline constexpr std::string_view kKosovo = "Kosovo";

class CountryNames {
public:
    // Reads iso-codes' iso_3166-1.json text; false (with `error` set) when it holds no names.
    bool load(std::string_view json, std::string* error);
    void add(std::string_view code, std::string_view name);
    size_t size() const { return names_.size(); }

    // The country of a code as the directories write it: any case, surrounding blanks, the
    // first of a list separated by ";" or ","; "UK" for GB, "XK" for Kosovo. "International"
    // when the code is empty or unknown (regions such as "INT" or "EUR" included).
    std::string_view countryOf(std::string_view code) const;

private:
    std::unordered_map<std::string, std::string> names_;
};

}  // namespace vistrelle::updater
