// Marks the entry points that a library built by the project (the stand-ins) exports.
#pragma once

#if defined(_WIN32)
#define STANDIN_EXPORT __declspec(dllexport)
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif
