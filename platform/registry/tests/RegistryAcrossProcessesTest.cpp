#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sync/NamedMutex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const WCHAR* counter_key = u"Software\\Corvalen\\Strimo";
constexpr int increments = 1000;

// One read-change-write of the value, as a settings writer does it, under the mutex.
bool increment(plat::NamedMutex& mutex)
{
    const DWORD taken = mutex.wait(120000);
    if (taken != WAIT_OBJECT_0) return false;
    HKEY key = nullptr;
    bool ok = RegOpenKeyExW(HKEY_CURRENT_USER, counter_key, 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS;
    DWORD value = 0, type = 0, size = sizeof value;
    ok = ok && RegQueryValueExW(key, u"Counter", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == 0;
    ++value;
    ok = ok && RegSetValueExW(key, u"Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), size) == 0;
    if (key) RegCloseKey(key);
    return mutex.release() && ok;
}

TEST(RegistryAcrossProcesses, IncrementsUnderTheNamedMutexAreNeverLost)
{
    plat::TempFolder runtime;
    plat::ScopedEnvironment runtime_env("STRIMO_RUNTIME_DIR", runtime.path().c_str());
    plat::TemporaryRegistry registry;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, counter_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    const DWORD zero = 0;
    ASSERT_EQ(RegSetValueExW(key, u"Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero), 0);

    // Both children open the mutex themselves, after the fork, as two programs would.
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto mutex = plat::NamedMutex::open("{registry-counter-test}");
            int failures = mutex ? 0 : 1;
            for (int i = 0; mutex && i < increments; ++i) failures += increment(*mutex) ? 0 : 1;
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(RegQueryValueExW(key, u"Counter", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), 0);
    EXPECT_EQ(value, DWORD(2 * increments));
    RegCloseKey(key);
}

}
