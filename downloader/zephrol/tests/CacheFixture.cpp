#include "CacheFixture.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace {

// The name the cache gives an item's files: both halves of the key in hexadecimal.
std::string file_name_of(const tContentKey& key)
{
    char name[33];
    std::snprintf(name, sizeof name, "%08x%08x%08x%08x", key.words[1], key.words[0], key.words[3], key.words[2]);
    return name;
}

}

CacheFixture::CacheFixture(DWORD key_word, Disk disk)
{
    static int serial = 0;
    m_folder = std::filesystem::temp_directory_path() /
               ("zephrol-cache-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(m_folder);
    m_manager = CreateMurrel("test");
    if (m_manager == nullptr || m_manager->Initialize(1ull << 32, (m_folder.string() + "/").c_str()) != RESULT_OK)
        throw std::runtime_error("cache fixture: no manager");
    tContentKey key;
    key.words[0] = key_word;
    if (disk == Disk::Full) std::filesystem::create_symlink("/dev/full", m_folder / (file_name_of(key) + ".data"));
    m_item = m_manager->OpenItem(key, "test");
    if (m_item == nullptr) throw std::runtime_error("cache fixture: no item");
}

CacheFixture::~CacheFixture()
{
    m_item->Release("test");
    m_manager->Uninitialize();
    DeleteMurrel(m_manager, "test");
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

void CacheFixture::store(DWORD offset, const std::string& bytes)
{
    m_item->WriteData(reinterpret_cast<const BYTE*>(bytes.data()), offset, static_cast<DWORD>(bytes.size()));
}

std::string CacheFixture::read(DWORD length) const
{
    std::string out(length, '\0');
    DWORD got = 0;
    m_item->ReadData(reinterpret_cast<BYTE*>(out.data()), 0, length, &got, false, 0, {});
    out.resize(got);
    return out;
}
