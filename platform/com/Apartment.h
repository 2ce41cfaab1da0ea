#pragma once
// Whether the calling thread has initialised COM (for the creation calls).

namespace plat {

bool com_initialized_on_this_thread();

}
