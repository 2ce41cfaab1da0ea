#pragma once
// How IFeedNotifier crosses to the program that serves it. The server passes
// it to plat::LocalServer::register_class; a client process adds it once with
// plat::add_local_interface before CoCreateInstance(CLSID_FeedNotifier, ...,
// CLSCTX_LOCAL_SERVER, IID_IFeedNotifier, ...).

#include "platform/com/LocalMarshalling.h"

const plat::LocalInterface& feed_notifier_marshalling();
