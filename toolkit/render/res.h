#pragma once
// The base of every drawable resource the resource manager keeps by name.

#include "platform/base/Types.h"

#include <string>

namespace RenderEngine {

class res {
public:
    res() = default;
    res(int id, std::string name) : m_name(std::move(name)), m_id(id) {}
    virtual ~res() = default;
    res(const res&) = delete;
    res& operator=(const res&) = delete;

    const std::string& GetName() const { return m_name; }
    const std::u16string& GetPath() const { return m_path; }
    int GetId() const { return m_id; }

protected:
    std::string m_name;      // key in the resource manager's map
    std::u16string m_path;   // empty unless loaded from a file
    int m_id{0};             // skin id of the table entry
};

}
