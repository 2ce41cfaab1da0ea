#include "BaseInterface.h"

#include "platform/base/DebugLog.h"

#include <algorithm>

namespace {

constexpr std::size_t module_name_max = 30;
constexpr std::size_t user_name_max = 15;

std::string user_key(const char* user)
{
    std::string_view name = user ? user : "unknown";
    return std::string(name.substr(0, user_name_max));
}

}

tBaseInterface::tBaseInterface(const char* module_name)
    : m_module(std::string_view(module_name ? module_name : "Module").substr(0, module_name_max))
{
}

tBaseInterface::~tBaseInterface() = default;

BaseResult tBaseInterface::AddRef(const char* user) noexcept
try {
    std::scoped_lock hold(m_lock);
    m_users.push_back(user_key(user));
    return RESULT_OK;
} catch (...) {
    return RESULT_FAIL;
}

BaseResult tBaseInterface::Release(const char* user) noexcept
try {
    const std::string key = user_key(user);
    std::unique_lock hold(m_lock);
    auto found = std::find(m_users.begin(), m_users.end(), key);
    if (found != m_users.end()) {
        m_users.erase(found);
        return RESULT_OK;
    }
    hold.unlock();
    plat::debug_log("Error to relesae the [" + m_module + "], User [" + (user ? user : "unknown") +
                    "] can not be found.\n");
    return RESULT_FAIL;
} catch (...) {
    return RESULT_FAIL;
}

DWORD tBaseInterface::GetUserCount() noexcept
{
    std::scoped_lock hold(m_lock);
    return static_cast<DWORD>(m_users.size());
}

BaseResult tBaseInterface::QueryInterface(int id, void** out, const char* user) noexcept
{
    if (out == nullptr) return RESULT_FAIL;
    *out = nullptr;
    if (user == nullptr) return RESULT_FAIL;
    auto found = m_interfaces.find(id);
    if (found == m_interfaces.end()) return RESULT_NO_INTERFACE;
    *out = found->second;
    AddRef(user);
    return RESULT_OK;
}
