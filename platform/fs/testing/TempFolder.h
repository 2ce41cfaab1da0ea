#pragma once
// For tests: a fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.

#include <string>
#include <string_view>

namespace plat {

class TempFolder {
public:
    TempFolder();   // throws std::runtime_error when no folder can be made
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // The path of name inside the folder; name may hold further levels ("a/b").
    std::string operator/(std::string_view name) const;

private:
    std::string m_path;
};

}
