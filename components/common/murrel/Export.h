#pragma once
// Marks what the murrel library exports; everything else stays inside it.

#define MURREL_EXPORT __attribute__((visibility("default")))
