#include "Murrel.h"

#include "components/common/murrel/ContentCacheMgr.h"
#include "components/common/murrel/TVCache.h"

namespace {

// Hands out `Interface` of a fresh object; the object dies when that fails.
template <class Object, class Interface>
Interface* create_for(int id, const char* user) noexcept
{
    try {
        auto object = std::make_unique<Object>();
        void* out = nullptr;
        if (object->QueryInterface(id, &out, user) != RESULT_OK) return nullptr;
        object.release();
        return static_cast<Interface*>(out);
    } catch (...) {
        return nullptr;
    }
}

template <class Object, class Interface>
BaseResult delete_of(Interface* manager, const char* user) noexcept
{
    if (manager == nullptr) return RESULT_FAIL;
    manager->Release(user);
    delete static_cast<Object*>(manager);
    return RESULT_OK;
}

}

IMurrel* CreateMurrel(const char* user)
{
    return create_for<tContentCacheMgr, IMurrel>(ID_IMurrel, user);
}

BaseResult DeleteMurrel(IMurrel* manager, const char* user)
{
    return delete_of<tContentCacheMgr>(manager, user);
}

ITVCacheManager* CreateTVCacheManager(const char* user)
{
    return create_for<tTVCacheManager, ITVCacheManager>(ID_ITVCacheManager, user);
}

BaseResult DeleteTVCacheManager(ITVCacheManager* manager, const char* user)
{
    return delete_of<tTVCacheManager>(manager, user);
}
