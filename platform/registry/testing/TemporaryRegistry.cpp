#include "TemporaryRegistry.h"

namespace plat {

TemporaryRegistry::TemporaryRegistry() : m_variable("STRIMO_REGISTRY_DIR", m_folder.path().c_str()) {}

}
